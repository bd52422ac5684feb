// The build found no real shader compiler: the stand-in's own compiler serves every compile, and DXIL built
// elsewhere cannot be reflected.
#include "dxc/RealCompiler.h"

namespace standin::dxc {

bool realCompilerBuilt() {
    return false;
}

bool realCompilerLoaded() {
    return false;
}

RealCompileOutcome compileWithRealCompiler(const RealCompileRequest&) {
    RealCompileOutcome outcome;
    outcome.called = static_cast<int32_t>(0x80004005); // E_FAIL
    return outcome;
}

void* createRealReflection(const void*, size_t, const void*) {
    return nullptr;
}

} // namespace standin::dxc
