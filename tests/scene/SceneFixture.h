// The stand-in GPU set up as start-up leaves it before the scene import, with the scene's globals emptied,
// and small glTF files made in the test and loaded as the import reads them.
#pragma once

#include "core/GpuFixture.h"
#include "scene/AccelerationStructures.h"
#include "scene/Scene.h"
#include "support/GltfBuilder.h"
#include "support/GltfLoading.h"

class SceneFixture : public GpuFixture {
protected:
    void SetUp() override {
        GpuFixture::SetUp();
        blasList.clear();
        tlas = nullptr;
        instanceDescBuffer = nullptr;
        mappedInstanceDescs = nullptr;
        instanceDescCount = 0;
        tlasUpdateScratch = nullptr;
        scene = {};
        sceneInfo = {};
    }

    // A fresh device and globals for the next case of a table (checking the last case's findings first).
    void restart() {
        TearDown();
        SetUp();
    }

    // Parsed, loaded and validated; a file that is not fails the test. The text it was parsed from stays
    // with the fixture, which outlives the data: cgltf keeps pointers into it.
    fixture::GltfPointer load(const fixture::GltfBuilder& builder) {
        fixture::Loaded loaded = fixture::loadFromMemory(builder.json(fixture::BufferStorage::DataUri));
        EXPECT_EQ(loaded.failedStep, fixture::Step::None);
        sources.push_back(std::move(loaded.source));
        return std::move(loaded.data);
    }

    fixture::TempFolder folder{"scene"};
    // Moved in whole, so each keeps its block where the data points.
    std::vector<std::vector<uint8_t>> sources;
};
