// The sample scene: a tavern hall laid out around the fly-through's path.
#pragma once

#include "Document.h"

namespace sample {

// Default scene 0 holds everything that is drawn and casts shadows, with the two shadow-only proxies (the
// file's last two meshes); scene 1 holds the detailed chandelier and herb bundles, which are drawn but leave
// their shadows to the proxies.
Document buildTavern();

} // namespace sample
