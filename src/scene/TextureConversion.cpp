#include "scene/TextureConversion.h"

#include "core/Paths.h"
#include "core/SystemCommand.h"

#include <cstdio>
#include <cstring>
#include <filesystem>

namespace {

struct FormatRule {
    const char* text;
    ConversionFormat format;
};

// In the order they are tried: a name with both "baseColor" and "normal" is a base-colour texture.
constexpr FormatRule FORMAT_RULES[] = {
    {"baseColor", {"BC7_UNORM_SRGB", "-srgb"}},
    {"emissive", {"BC7_UNORM_SRGB", "-srgb"}},
    {"normal", {"BC5_UNORM", "-l"}},
    {"metallicRoughness", {"BC7_UNORM", "-l"}},
};

// The command interpreter gives these a meaning even between quotes (or ends the argument with them).
bool breaksQuotedArgument(const std::wstring& path) {
    for (wchar_t c : path)
        if (c < 0x20 || c == 0x7F || std::wcschr(L"\"%&|<>^", c))
            return true;
    return false;
}

// One line naming the image, with control characters shown as "?" so that the name cannot break the line.
void skip(const std::filesystem::path& path, const char* reason) {
    std::string name = path.string();
    for (char& c : name)
        if ((unsigned char)c < 0x20 || c == 0x7F)
            c = '?';
    std::printf("Skipping the conversion of %s: %s\n", name.c_str(), reason);
}

} // namespace

ConversionFormat chooseConversionFormat(const std::string& decodedUri) {
    for (const FormatRule& rule : FORMAT_RULES)
        if (decodedUri.find(rule.text) != std::string::npos)
            return rule.format;
    return {"BC7_UNORM", ""};
}

void convertTextures(const char* filePath, const cgltf_data* data) {
    const std::filesystem::path sceneFolder = std::filesystem::path(toNativePath(filePath)).parent_path();
    for (cgltf_size i = 0; i < data->images_count; ++i) {
        const char* uri = data->images[i].uri;
        // An image in a buffer view, or in a "data:" URI, has no file to convert.
        if (!uri || std::strncmp(uri, "data:", 5) == 0)
            continue;
        std::string decoded = uri;
        decoded.resize(cgltf_decode_uri(decoded.data()));
        const std::filesystem::path fullPath = sceneFolder / std::filesystem::path(decoded);
        const std::wstring widePath = fullPath.wstring();
        if (breaksQuotedArgument(widePath)) {
            skip(fullPath, "its path holds a character that the command line cannot carry");
            continue;
        }
        const ConversionFormat format = chooseConversionFormat(decoded);
        char command[1024];
        const int length =
            std::snprintf(command, sizeof command,
                          "texconv.exe -y -w 1024 -h 1024 -f %s %s -ft dds -o data\\Tavern\\textures \"%ls\"",
                          format.format, format.options, widePath.c_str());
        if (length < 0) {
            skip(fullPath, "its path cannot be written into the command line");
            continue;
        }
        if (size_t(length) >= sizeof command) {
            skip(fullPath, "the command line would be longer than 1023 characters");
            continue;
        }
        runSystemCommand(command);
    }
}
