// The texture conversion: the format table, the exact command lines handed to the system, and the images
// whose path cannot be passed safely.
#include "scene/TextureConversion.h"

#include "core/SystemCommand.h"
#include "support/GltfBuilder.h"
#include "support/GltfLoading.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace fixture;

namespace {

std::vector<std::string> commands;

int record(const char* commandLine) {
    commands.emplace_back(commandLine);
    return 1; // a failed converter changes nothing
}

std::string command(const std::string& format, const std::string& options, const std::string& path) {
    return "texconv.exe -y -w 1024 -h 1024 -f " + format + " " + options +
           " -ft dds -o data\\Tavern\\textures \"" + path + "\"";
}

class TextureConversion : public testing::Test {
protected:
    void SetUp() override {
        commands.clear();
        previous = setSystemCommandRunner(record);
    }
    void TearDown() override { setSystemCommandRunner(previous); }

    // Converts a file whose images have these URIs (null: an image in a buffer view); returns what it
    // printed.
    std::string convert(const std::vector<const char*>& uris) {
        GltfBuilder b;
        Json images = Json::array();
        for (const char* uri : uris) {
            if (uri)
                images.push_back({{"uri", uri}});
            else
                images.push_back(
                    {{"bufferView", b.addView(std::vector<uint8_t>{1, 2, 3, 4})}, {"mimeType", "image/png"}});
        }
        b.root["images"] = images;
        Loaded loaded = loadFromMemory(b.json(BufferStorage::DataUri));
        EXPECT_EQ(loaded.failedStep, Step::None);
        testing::internal::CaptureStdout();
        convertTextures("scenes/tavern/scene.gltf", loaded.data.get());
        return testing::internal::GetCapturedStdout();
    }

    SystemCommandRunner previous = nullptr;
};

} // namespace

TEST_F(TextureConversion, TheFirstMatchingRowChoosesTheFormat) {
    struct Case {
        const char* uri;
        const char* format;
        const char* options;
    } cases[] = {
        {"wood_baseColor.png", "BC7_UNORM_SRGB", "-srgb"},
        {"normal_baseColor.png", "BC7_UNORM_SRGB", "-srgb"}, // "baseColor" is tried before "normal"
        {"baseColor_normal.png", "BC7_UNORM_SRGB", "-srgb"},
        {"lamp_emissive.png", "BC7_UNORM_SRGB", "-srgb"},
        {"metallicRoughness_normal.png", "BC5_UNORM", "-l"}, // "normal" before "metallicRoughness"
        {"iron_metallicRoughness.png", "BC7_UNORM", "-l"},
        {"normals/plain.png", "BC5_UNORM", "-l"}, // folders count too
        {"BaseColor.png", "BC7_UNORM", ""},       // case-sensitive
        {"Normal", "BC7_UNORM", ""},
    };
    for (const Case& c : cases) {
        const ConversionFormat chosen = chooseConversionFormat(c.uri);
        EXPECT_STREQ(chosen.format, c.format) << c.uri;
        EXPECT_STREQ(chosen.options, c.options) << c.uri;
    }
}

TEST_F(TextureConversion, EachImageFileRunsOneExactCommand) {
    EXPECT_EQ(convert({"textures/wood%20planks_baseColor.png", nullptr, "iron_metallicRoughness.png",
                       "data:image/png;base64,iVBORw0KGgo=", "base%43olor%2Fnormal.png", "plain.png"}),
              "");
    EXPECT_EQ(commands,
              (std::vector<std::string>{
                  command("BC7_UNORM_SRGB", "-srgb", "scenes/tavern/textures/wood planks_baseColor.png"),
                  command("BC7_UNORM", "-l", "scenes/tavern/iron_metallicRoughness.png"),
                  command("BC7_UNORM_SRGB", "-srgb", "scenes/tavern/baseColor/normal.png"),
                  command("BC7_UNORM", "", "scenes/tavern/plain.png"),
              }));
    EXPECT_NE(commands.back().find("BC7_UNORM  -ft"), std::string::npos) << "two blanks without options";
}

TEST_F(TextureConversion, PathsTheCommandCannotCarryAreSkipped) {
    const std::string longName = std::string(1000, 'x') + ".png";
    const std::vector<const char*> uris = {"a%22b.png", "50%25.png",      "a&b.png", "a|b.png",
                                           "a<b.png",   "a>b.png",        "a^b.png", "a%0Ab.png",
                                           "a%7Fb.png", longName.c_str(), "fine.png"};
    const std::string output = convert(uris);
    const char* reason = ": its path holds a character that the command line cannot carry\n";
    std::string expected;
    for (const char* name : {"a\"b.png", "50%.png", "a&b.png", "a|b.png", "a<b.png", "a>b.png", "a^b.png",
                             "a?b.png", "a?b.png"}) // control characters shown as "?"
        expected += std::string("Skipping the conversion of scenes/tavern/") + name + reason;
    expected += "Skipping the conversion of scenes/tavern/" + longName +
                ": the command line would be longer than 1023 characters\n";
    EXPECT_EQ(output, expected);
    EXPECT_EQ(commands, std::vector<std::string>{command("BC7_UNORM", "", "scenes/tavern/fine.png")});

    // The longest path that fits still runs: 1023 characters of command line.
    commands.clear();
    const size_t room = 1023 - command("BC7_UNORM", "", "scenes/tavern/").size();
    const std::string fitting = std::string(room - 4, 'y') + ".png";
    EXPECT_EQ(convert({fitting.c_str()}), "");
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].size(), 1023u);
    // One character more and it would be cut.
    commands.clear();
    const std::string oneTooLong = "z" + fitting;
    EXPECT_EQ(convert({oneTooLong.c_str()}), "Skipping the conversion of scenes/tavern/" + oneTooLong +
                                                 ": the command line would be longer than 1023 characters\n");
    EXPECT_TRUE(commands.empty());
}
