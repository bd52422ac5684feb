// Preparing a scene's DDS textures with the external texconv tool. Not part of a run: the import expects the
// DDS files to exist.
#pragma once

#include <cgltf.h>

#include <string>

struct ConversionFormat {
    const char* format;  // texconv's -f
    const char* options; // "" for none
};

// The first of "baseColor", "emissive", "normal" and "metallicRoughness" that the decoded URI contains
// (case-sensitive, anywhere in it) decides; BC7_UNORM without options when none does.
ConversionFormat chooseConversionFormat(const std::string& decodedUri);

// Runs texconv once per image with a file URI, in image order, through runSystemCommand, with the image's
// decoded URI joined to the glTF file's folder; the DDS files go to "data\\Tavern\\textures". An image whose
// full path holds a character that would break out of the quoted argument (a quote, "%", "&", "|", "<", ">",
// "^" or a control character), or whose command line is longer than 1,023 characters, is skipped with a
// line naming it. The converter's result is not looked at.
void convertTextures(const char* filePath, const cgltf_data* data);
