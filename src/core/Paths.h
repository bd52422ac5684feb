// File paths as the program writes them ("data\\Tavern\\scene.gltf") and as the file system takes them.
#pragma once

#include <string>

// On Windows the path unchanged; elsewhere every backslash becomes a forward slash, since there a backslash
// is an ordinary file-name character. Call it where a path reaches the file system, not where it is written.
std::string toNativePath(const std::string& path);
