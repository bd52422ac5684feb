# The denoise program is carried compiled in the executable. The build compiles src/raytracing/Denoise.hlsl
# with dxc (on Linux the one cmake/ShaderCompiler.cmake found, else the stand-in compiler) and turns the bytes
# into a generated source of the lantern library that defines DenoiseCS and DenoiseCSSize
# (src/raytracing/DenoiseProgram.h).
set(DENOISE_SOURCE ${CMAKE_SOURCE_DIR}/src/raytracing/Denoise.hlsl)
# The filter itself, which the program includes (and the tests compile as C++).
set(DENOISE_FILTER ${CMAKE_SOURCE_DIR}/src/raytracing/DenoiseFilter.hlsli)
set(DENOISE_OUTPUT_DIR ${CMAKE_BINARY_DIR}/generated)
set(DENOISE_OBJECT ${DENOISE_OUTPUT_DIR}/DenoiseCS.cso)
set(DENOISE_CPP ${DENOISE_OUTPUT_DIR}/DenoiseCS.cpp)

if(WIN32)
    # The Windows SDK's compiler (or one on PATH, such as vcpkg's directx-dxc).
    find_program(LANTERN_DXC dxc HINTS "$ENV{WindowsSdkVerBinPath}x64" REQUIRED)
    set(DENOISE_COMPILER ${LANTERN_DXC})
    set(DENOISE_COMPILER_DEPENDS)
elseif(LANTERN_DXC_DIR)
    set(DENOISE_COMPILER ${LANTERN_DXC_DIR}/bin/dxc)
    set(DENOISE_COMPILER_DEPENDS ${DENOISE_COMPILER})
else()
    set(DENOISE_COMPILER $<TARGET_FILE:standin_dxc>)
    set(DENOISE_COMPILER_DEPENDS standin_dxc)
endif()

add_custom_command(
    OUTPUT ${DENOISE_OBJECT}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${DENOISE_OUTPUT_DIR}
    COMMAND ${DENOISE_COMPILER} -T cs_6_0 -E DenoiseCS -Fo ${DENOISE_OBJECT} ${DENOISE_SOURCE}
    DEPENDS ${DENOISE_SOURCE} ${DENOISE_FILTER} ${DENOISE_COMPILER_DEPENDS}
    COMMENT "Compiling the denoise program"
    VERBATIM)
add_custom_command(
    OUTPUT ${DENOISE_CPP}
    COMMAND ${CMAKE_COMMAND} -DINPUT=${DENOISE_OBJECT} -DOUTPUT=${DENOISE_CPP} -DNAME=DenoiseCS
            -DHEADER=raytracing/DenoiseProgram.h -P ${CMAKE_SOURCE_DIR}/cmake/EmbedBinary.cmake
    DEPENDS ${DENOISE_OBJECT} ${CMAKE_SOURCE_DIR}/cmake/EmbedBinary.cmake
    COMMENT "Embedding the denoise program"
    VERBATIM)
target_sources(lantern PRIVATE ${DENOISE_CPP})
