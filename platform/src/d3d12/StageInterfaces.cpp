// What passes between the stages of a graphics pipeline: the amplification shader's payload to the mesh
// shader, and the attributes of the last stage before rasterisation to the pixel shader.
#include "d3d12/ShaderBindings.h"

#include <strings.h>

namespace standin {

namespace {

std::string stageName(const ShaderReflection& reflection) {
    const std::string& stage = reflection.entries.front().stage;
    return stage == "ms" ? "mesh" : stage == "gs" ? "geometry" : stage == "ds" ? "domain" : "vertex";
}

// The pixel shader's inputs that the stage before it must write: its own attributes, and the system values
// that stage passes on (position, clip and cull distances, render-target array and viewport indices). The
// rasteriser makes the others (front face, sample index, coverage, ...).
bool passedOn(const SignatureElement& input) {
    switch (input.systemValue) {
    case D3D_NAME_UNDEFINED:
    case D3D_NAME_POSITION:
    case D3D_NAME_CLIP_DISTANCE:
    case D3D_NAME_CULL_DISTANCE:
    case D3D_NAME_RENDER_TARGET_ARRAY_INDEX:
    case D3D_NAME_VIEWPORT_ARRAY_INDEX:
        return true;
    default:
        return false;
    }
}

std::string semanticOf(const SignatureElement& element) {
    return element.semanticName + std::to_string(element.semanticIndex);
}

// "register 1 (xy, float)".
std::string placeOf(const SignatureElement& element) {
    std::string components;
    for (int i = 0; i < 4; ++i)
        if (element.mask & (1u << i))
            components += "xyzw"[i];
    const char* type = element.componentType == D3D_REGISTER_COMPONENT_UINT32    ? "uint"
                       : element.componentType == D3D_REGISTER_COMPONENT_SINT32  ? "int"
                       : element.componentType == D3D_REGISTER_COMPONENT_FLOAT32 ? "float"
                                                                                 : "other";
    return "register " + std::to_string(element.registerIndex) + " (" + components + ", " + type + ")";
}

const SignatureElement* findOutput(const ShaderEntry& stage, const SignatureElement& input) {
    for (const std::vector<SignatureElement>* outputs : {&stage.outputs, &stage.primitiveOutputs})
        for (const SignatureElement& output : *outputs)
            if (strcasecmp(output.semanticName.c_str(), input.semanticName.c_str()) == 0 &&
                output.semanticIndex == input.semanticIndex)
                return &output;
    return nullptr;
}

} // namespace

std::string checkStageInterfaces(const ShaderReflection& amplification, const ShaderReflection& mesh,
                                 const ShaderReflection& beforePixel, const ShaderReflection& pixel) {
    if (amplification.valid && mesh.valid &&
        amplification.entries.front().payloadSize != mesh.entries.front().payloadSize)
        return "the amplification shader's payload is " +
               std::to_string(amplification.entries.front().payloadSize) +
               " bytes, but the mesh shader's is " + std::to_string(mesh.entries.front().payloadSize);
    if (!pixel.valid || !beforePixel.valid)
        return "";
    const std::string before = "the " + stageName(beforePixel) + " shader";
    for (const SignatureElement& input : pixel.entries.front().inputs) {
        if (!passedOn(input))
            continue;
        const SignatureElement* output = findOutput(beforePixel.entries.front(), input);
        if (!output)
            return "the pixel shader reads " + semanticOf(input) + ", which " + before + " does not write";
        if (output->registerIndex != input.registerIndex || output->componentType != input.componentType ||
            (input.mask & ~output->mask) != 0)
            return "the pixel shader reads " + semanticOf(input) + " at " + placeOf(input) + ", but " +
                   before + " writes it at " + placeOf(*output);
    }
    return "";
}

} // namespace standin
