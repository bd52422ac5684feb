# The build's discovery of a real shader compiler (cmake/ShaderCompiler.cmake), configured in small projects
# that include it: the order of the four places, the configure line that names the one found, and the stop
# that CI asks for when there is none. Run with cmake -P, given DISCOVERY (the file under test), GENERATOR
# and MAKE_PROGRAM (the build's own), and WORK (a folder of its own, emptied first, so that no real compiler
# lies beside the projects). The search path holds only the folders a case names, and the system's program
# folders are not searched, so that a compiler installed on this machine changes no case.
cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE "${WORK}")
set(failures 0)

# A compiler folder as the build wants it: bin/dxc, lib/libdxcompiler.so and include/dxc/dxcapi.h (or only
# bin/dxc when incomplete).
function(make_compiler folder)
    set(parts bin/dxc)
    if(NOT ARGN STREQUAL "incomplete")
        list(APPEND parts lib/libdxcompiler.so include/dxc/dxcapi.h)
    endif()
    foreach(part ${parts})
        file(WRITE "${folder}/${part}" "")
    endforeach()
    file(CHMOD "${folder}/bin/dxc" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
endfunction()

# Configures a project at <case>/repo that includes the file under test, with the environment given after
# ENV (each NAME=value, and the DXC variable unset unless given) and the -D options given after OPTIONS;
# checks that the output holds <expected>.
function(expect_configure case expected)
    cmake_parse_arguments(PARSE_ARGV 2 arg "" "" "ENV;OPTIONS")
    set(repo "${WORK}/${case}/repo")
    file(WRITE "${repo}/CMakeLists.txt"
         "cmake_minimum_required(VERSION 3.25)\nproject(discovery NONE)\ninclude(\"${DISCOVERY}\")\n")
    execute_process(
        COMMAND ${CMAKE_COMMAND} -E env --unset=DXC --unset=LANTERN_REQUIRE_DXC "PATH=${WORK}/none/bin"
                ${arg_ENV} ${CMAKE_COMMAND} -G "${GENERATOR}" -DCMAKE_MAKE_PROGRAM=${MAKE_PROGRAM}
                -DCMAKE_FIND_USE_CMAKE_SYSTEM_PATH=FALSE -S "${repo}" -B "${repo}/build" ${arg_OPTIONS}
        OUTPUT_VARIABLE output
        ERROR_VARIABLE output
        RESULT_VARIABLE result)
    string(REGEX REPLACE "[ \n]+" " " output "${output}")
    string(FIND "${output}" "${expected}" at)
    if(at EQUAL -1)
        message(SEND_ERROR "${case}: expected \"${expected}\" in the configure output (exit ${result}):\n${output}")
        math(EXPR failures "${failures} + 1")
        set(failures ${failures} PARENT_SCOPE)
    endif()
endfunction()

set(found "DirectX Shader Compiler:")

# Every place holds a compiler: the cache variable comes first, then DXC, then the search path, then beside
# the repository.
set(all "${WORK}/all")
foreach(place cache environment path)
    make_compiler("${all}/${place}")
endforeach()
make_compiler("${all}/shared/tools/dxc")
expect_configure(all "${found} ${all}/cache (from the cache variable LANTERN_DXC)"
                 ENV "DXC=${all}/environment" "PATH=${all}/path/bin"
                 OPTIONS "-DLANTERN_DXC=${all}/cache/bin/dxc")
file(REMOVE_RECURSE "${all}/repo/build")
expect_configure(all "${found} ${all}/environment (from the environment variable DXC)"
                 ENV "DXC=${all}/environment/bin/dxc" "PATH=${all}/path/bin")
file(REMOVE_RECURSE "${all}/repo/build")
expect_configure(all "${found} ${all}/path (from the search path)" ENV "PATH=${all}/path/bin")
file(REMOVE_RECURSE "${all}/repo/build")
expect_configure(all "${found} ${all}/shared/tools/dxc (from beside the repository)")

# A dxc on the search path without its library is passed over for the one beside the repository.
make_compiler("${all}/incomplete" incomplete)
file(REMOVE_RECURSE "${all}/repo/build")
expect_configure(all "${found} ${all}/shared/tools/dxc (from beside the repository)"
                 ENV "PATH=${all}/incomplete/bin")

# A checkout one level deeper (a second work tree) finds the compiler beside the folder above it.
make_compiler("${WORK}/deeper/shared/tools/dxc")
expect_configure(deeper/trees "${found} ${WORK}/deeper/shared/tools/dxc (from beside the repository)")

# A compiler named by the cache variable or DXC must be one.
expect_configure(named "LANTERN_DXC does not name a DirectX Shader Compiler: ${WORK}/missing has no bin/dxc"
                 OPTIONS "-DLANTERN_DXC=${WORK}/missing")
expect_configure(named "DXC does not name a DirectX Shader Compiler: ${WORK}/missing has no bin/dxc"
                 ENV "DXC=${WORK}/missing")

# None anywhere: the stand-in compiler serves, unless the build requires a real one.
expect_configure(none/a/b "${found} none found")
expect_configure(none/a/b "the stand-in compiler compiles the shaders")
file(REMOVE_RECURSE "${WORK}/none/a/b/repo/build")
expect_configure(none/a/b "This build requires one" ENV LANTERN_REQUIRE_DXC=1)

if(failures GREATER 0)
    message(FATAL_ERROR "${failures} discovery case(s) failed")
endif()
