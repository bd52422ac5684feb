// Writes the sample data into the folder given as the only argument:
//   Tavern/scene.gltf, Tavern/scene.bin, Tavern/textures/*.dds (what the renderer loads),
//   Tavern/textures/*.png (the images the scene's URIs name, for other glTF tools) and music.wav.
#include "GltfWriter.h"
#include "PngWriter.h"
#include "TavernScene.h"
#include "Textures.h"
#include "WavWriter.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <utility>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: generate_sample_data <data folder>\n");
        return 2;
    }
    try {
        const std::filesystem::path data = argv[1];
        const std::filesystem::path sceneFolder = data / "Tavern";
        std::filesystem::create_directories(sceneFolder);

        sample::Document tavern = sample::buildTavern();
        sample::writeGltf(tavern, sceneFolder / "scene.gltf", "scene.bin");
        for (const sample::TextureSource& source : sample::textureSources()) {
            const std::filesystem::path path = sample::ddsPathFor(sceneFolder, source.uri);
            std::filesystem::create_directories(path.parent_path());
            sample::Image image = source.make();
            sample::writePng(sample::imagePathFor(sceneFolder, source.uri), image);
            sample::writeDds(path, sample::buildMipChain(std::move(image), source.filter), source.format);
        }
        sample::writeWav(data / "music.wav", sample::synthesizeMusic(), sample::MUSIC_SAMPLE_RATE,
                         sample::MUSIC_CHANNELS);

        size_t triangles = 0, drawn = 0;
        for (const sample::MeshData& mesh : tavern.meshes) {
            triangles += sample::triangleCount(mesh);
        }
        for (const sample::NodeDesc& node : tavern.nodes) {
            drawn += node.mesh >= 0 ? sample::triangleCount(tavern.meshes[size_t(node.mesh)]) : 0;
        }
        std::printf(
            "sample data: %zu meshes (%zu triangles), %zu nodes (%zu triangles placed), %zu textures\n",
            tavern.meshes.size(), triangles, tavern.nodes.size(), drawn, sample::textureSources().size());
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "generate_sample_data: %s\n", error.what());
        return 1;
    }
}
