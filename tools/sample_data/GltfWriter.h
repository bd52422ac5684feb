// Writes a Document as a glTF 2.0 JSON file with one external binary buffer beside it.
#pragma once

#include "Document.h"

#include <filesystem>

namespace sample {

// Writes `gltfPath` and the buffer `bufferName` in the same folder. Throws std::runtime_error on I/O failure.
void writeGltf(const Document& document, const std::filesystem::path& gltfPath,
               const std::string& bufferName);

} // namespace sample
