// One fuzz input as a DDS file: its header read and its subresources laid out as the texture loader does,
// then every byte of every subresource read, so that a layout reaching past the input shows as a read past
// its end, and a layout that does not cover the texture's subresources stops the run.
#include "scene/DdsFile.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    DdsLayout layout;
    if (parseDds(bytes, size, &layout))
        return 0;
    if (layout.subresources.size() != size_t(layout.mipCount) * layout.arraySize)
        std::abort();
    volatile uint8_t sum = 0;
    for (const DdsSubresource& entry : layout.subresources) {
        if (entry.rowPitch == 0 || entry.slicePitch < entry.rowPitch)
            std::abort();
        for (uint64_t b = 0; b < entry.slicePitch; ++b)
            sum = uint8_t(sum + bytes[entry.offset + b]);
    }
    return 0;
}
