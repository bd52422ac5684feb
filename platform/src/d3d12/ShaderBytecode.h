// What the stand-in reads from shader bytecode. The stand-in compiler's blobs are text: "STANDIN-DXIL" on the
// first line, then key=value lines (stage, entry, exports, ...). DXIL is read through the real compiler's
// reflection (standin/ShaderReflection.h); without a real compiler it is accepted where its structure holds.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace standin {

// The key=value fields of a stand-in blob; false for any other bytecode.
bool parseStandinBytecode(const void* data, size_t size, std::map<std::string, std::string>* fields);
// "" when the bytecode may fill the pipeline slot of the stage ("vs", "ps", "as", "ms", "cs", ...).
std::string checkShaderStage(const std::vector<uint8_t>& code, const char* stage);
// The exports a library blob names; false when the bytecode is not a library that can be read.
bool libraryExports(const void* data, size_t size, std::vector<std::string>* exports);

} // namespace standin
