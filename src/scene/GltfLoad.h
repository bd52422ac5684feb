// The first step of the scene import: reading, parsing and checking the glTF file.
//
// loadScene runs, in this order: loadGltf; buildAccelerationStructures with the parsed file; the mesh pass,
// which is the last reader of the buffers' bytes (releaseGltfBuffers once it has read them); the node pass,
// the images, the materials and the six scene buffers; cgltf_free of the parsed file.
#pragma once

#include <cgltf.h>

// Parses the file (JSON text or GLB, detected from the contents), loads its buffers (files relative to
// filePath, "data:" URIs, the GLB BIN chunk) and validates it. A file that cannot be read, parsed,
// buffer-loaded or validated is reported with the failing call's text and ends the program with exit code 1.
// The caller owns the result and releases it with cgltf_free.
cgltf_data* loadGltf(const char* filePath);

// Frees the bytes that cgltf_load_buffers loaded for the file's buffers, through the data's own memory and
// file options, once nothing reads them any more; the rest of the data stays valid until cgltf_free. Bytes
// that the file itself holds (a GLB's BIN chunk) go with the file.
void releaseGltfBuffers(cgltf_data* data);
