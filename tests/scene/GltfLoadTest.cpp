#include "scene/GltfLoad.h"

#include "core/Report.h"
#include "support/GltfBuilder.h"
#include "support/GltfLoading.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

using namespace fixture;

namespace {

struct ProgramEnded {
    int exitCode;
};

[[noreturn]] void throwOnEnd(int exitCode) {
    throw ProgramEnded{exitCode};
}

class GltfLoad : public ::testing::Test {
protected:
    void SetUp() override { previousEnd = setProgramEnd(throwOnEnd); }
    void TearDown() override { setProgramEnd(previousEnd); }
    ProgramEnd previousEnd = nullptr;
    TempFolder folder{"load"};
};

GltfBuilder triangle(const std::vector<uint16_t>& indices = {0, 1, 2}) {
    GltfBuilder builder;
    int positions = builder.addData(std::vector<float>{0, 0, 0, 1, 0, 0, 0, 1, 0}, "VEC3");
    builder.addMesh(Json::array({primitive({{"POSITION", positions}}, builder.addIndices(indices))}));
    return builder;
}

// The path as the program writes its scene path, with backslashes.
std::string windowsStyle(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

} // namespace

TEST_F(GltfLoad, EachFailingStepPrintsItsCallAndEndsWithCodeOne) {
    GltfBuilder unknownMode = triangle(); // a primitive that cgltf_validate refuses
    unknownMode.root["meshes"][0]["primitives"][0]["mode"] = 7;
    struct Case {
        const char* name;
        std::string path;
        const char* message;
    } cases[] = {
        {"missing file", (folder.path / "absent.gltf").string(),
         "cgltf_parse_file(&options, filePath, &data) failed\n"},
        {"not glTF", folder.write("text.gltf", "plain text, not a glTF file"),
         "cgltf_parse_file(&options, filePath, &data) failed\n"},
        {"missing buffer", folder.write("nobuffer.gltf", triangle().json(BufferStorage::File, "absent.bin")),
         "cgltf_load_buffers(&options, data, filePath) failed\n"},
        {"index beyond the vertices",
         folder.write("badindex.gltf", triangle({0, 1, 3}).json(BufferStorage::DataUri)),
         "cgltf_validate(data) failed\n"},
        {"primitive of an unknown mode", folder.write("mode7.gltf", unknownMode.json(BufferStorage::DataUri)),
         "cgltf_validate(data) failed\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testing::internal::CaptureStdout();
        int exitCode = -1;
        try {
            loadGltf(windowsStyle(c.path).c_str());
        } catch (const ProgramEnded& ended) {
            exitCode = ended.exitCode;
        }
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.message);
        EXPECT_EQ(exitCode, 1);
    }
}

TEST_F(GltfLoad, BackslashPathLoadsTheFileAndItsBuffer) {
    GltfBuilder builder = triangle();
    folder.write("Tavern/scene.bin", builder.bin);
    std::string path = folder.write("Tavern/scene.gltf", builder.json(BufferStorage::File));
    GltfPointer data(loadGltf(windowsStyle(path).c_str()));
    ASSERT_NE(data, nullptr);
    ASSERT_EQ(data->meshes_count, 1u);
    EXPECT_NE(data->buffers[0].data, nullptr);
}

TEST_F(GltfLoad, ReleasedBuffersLeaveTheRestOfTheFileReadable) {
    // Loaded bytes (a file beside the scene, a data URI) are freed; a GLB's BIN chunk is part of the file and
    // stays. Either way the rest of the data stays readable and cgltf_free releases nothing twice.
    GltfBuilder builder = triangle();
    folder.write("scene.bin", builder.bin);
    struct Case {
        const char* name;
        std::string path;
        bool bytesKept;
    } cases[] = {
        {"external file", folder.write("file.gltf", builder.json(BufferStorage::File)), false},
        {"data URI", folder.write("uri.gltf", builder.json(BufferStorage::DataUri)), false},
        {"GLB", folder.write("binary.glb", builder.glb()), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GltfPointer data(loadGltf(c.path.c_str()));
        const void* bytes = data->buffers[0].data;
        releaseGltfBuffers(data.get());
        EXPECT_EQ(data->buffers[0].data, c.bytesKept ? bytes : nullptr);
        if (!c.bytesKept) {
            EXPECT_EQ(data->buffers[0].data_free_method, cgltf_data_free_method_none);
        }
        ASSERT_EQ(data->meshes_count, 1u);
        EXPECT_EQ(data->meshes[0].primitives[0].indices->count, 3u);
        releaseGltfBuffers(data.get()); // a second release finds nothing left to free
    }
}
