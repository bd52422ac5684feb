// Writes the DDS fuzz target's corpus into the folder named on the command line: the tests' own fixture
// files, well-formed and malformed, as a starting point for the fuzzer and as the inputs of the corpus run.
#include "support/DdsBuilder.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace fixture;

namespace {

DdsDescription texture(uint32_t format, uint32_t width, uint32_t height, uint32_t mips, uint32_t slices = 1) {
    DdsDescription d;
    d.format = format;
    d.width = width;
    d.height = height;
    d.mipCount = mips;
    d.arraySize = slices;
    return d;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    DdsDescription legacy = texture(0, 8, 8, 1);
    legacy.dx10 = false;
    std::vector<uint8_t> truncated = ddsFile(texture(71, 8, 8, 4));
    truncated.pop_back();
    std::vector<uint8_t> lying = ddsHeader(texture(28, 64, 64, 1));
    std::vector<uint8_t> headerOnly = ddsHeader(legacy);
    headerOnly.pop_back();
    std::vector<uint8_t> noFlag = ddsFile(texture(28, 4, 4, 1));
    putU32(noFlag, 80, 0x40);
    const std::vector<std::pair<std::string, std::vector<uint8_t>>> files = {
        {"bc1-chain.dds", ddsFile(texture(71, 8, 8, 4))},
        {"bc7-array.dds", ddsFile(texture(98, 4, 4, 3, 2))},
        {"rgba-odd.dds", ddsFile(texture(28, 5, 3, 3))},
        {"r8.dds", ddsFile(texture(61, 7, 2, 3))},
        {"float.dds", ddsFile(texture(2, 3, 1, 2))},
        {"zero-mips.dds", ddsFile(texture(28, 4, 4, 0, 0))},
        {"legacy-bc5.dds", ddsFile(legacy)},
        {"dx10-without-flag.dds", noFlag},
        {"truncated.dds", truncated},
        {"lying-size.dds", lying},
        {"cut-header.dds", headerOnly},
        {"volume.dds", ddsFile(texture(28, 4, 4, 1))},
        {"depth-stencil.dds", ddsFile(texture(45, 4, 4, 1))},
    };
    for (const auto& [name, bytes] : files) {
        std::vector<uint8_t> contents = bytes;
        if (name == "volume.dds")
            putU32(contents, 132, 4);
        std::ofstream(folder / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(contents.data()), std::streamsize(contents.size()));
    }
    std::printf("wrote %zu files to %s\n", files.size(), folder.string().c_str());
    return 0;
}
