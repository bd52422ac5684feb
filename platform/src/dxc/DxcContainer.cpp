// Reading back the containers the stand-in compiler makes (standin/Dxc.h).
#include "standin/Dxc.h"

namespace standin {

bool parseStandinBytecode(const void* bytes, size_t size, StandinBytecode* result) {
    if (!bytes || !result)
        return false;
    std::string text(static_cast<const char*>(bytes), size);
    if (text.compare(0, sizeof standinDxilMagic - 1, standinDxilMagic) != 0)
        return false;
    *result = {};
    size_t start = sizeof standinDxilMagic - 1;
    bool haveStage = false, haveEntry = false, haveExports = false, haveHash = false;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            return false;
        std::string line = text.substr(start, end - start);
        start = end + 1;
        size_t equals = line.find('=');
        std::string key = line.substr(0, equals),
                    value = equals == std::string::npos ? "" : line.substr(equals + 1);
        if (key == "stage") {
            result->stage = value;
            haveStage = true;
        } else if (key == "entry") {
            result->entry = value;
            haveEntry = true;
        } else if (key == "exports") {
            for (size_t from = 0; from < value.size();) {
                size_t comma = value.find(',', from);
                comma = comma == std::string::npos ? value.size() : comma;
                result->exports.push_back(value.substr(from, comma - from));
                from = comma + 1;
            }
            haveExports = true;
        } else if (key == "hash") {
            result->hash = value;
            haveHash = true;
        }
    }
    return haveStage && haveEntry && haveExports && haveHash;
}

} // namespace standin
