// What the frame trace (standin/Session.h) takes from the rest of the stand-in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace standin::session {

// The shader constants the trace watches, as "buffer.field"; empty when it watches none.
std::vector<std::string> watchedConstants();
// The value of watched constant `watch` (an index into watchedConstants) in the frame being recorded; a frame
// keeps the first value noted.
void noteWatchedValue(size_t watch, const std::string& value);
// The size of the back buffer a Present shows, noted before the present counts its frame.
void notePresentedSize(uint32_t width, uint32_t height);
// Writes the line of the frame just presented and starts the next frame's values.
void traceFrame(uint64_t frame);

} // namespace standin::session
