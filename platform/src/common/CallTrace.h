// Recording into the call trace (standin/CallTrace.h) from the stand-in's API functions.
#pragma once

namespace standin {

// Appends the call's API name while a trace is recording; costs one atomic load otherwise.
void traceCall(const char* name);

} // namespace standin
