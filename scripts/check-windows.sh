#!/usr/bin/env bash
# Compiles, syntax only, every source of the Windows build (every .cpp under src/) with MinGW-w64 against
# MinGW's Windows headers, DirectX-Headers, the Dear ImGui headers with its back-end headers, spdlog, fmt and
# meshoptimizer, with the definitions of the Windows build. This keeps the product real Windows code,
# including its _WIN32-only paths. Any file that does not compile fails the check.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh --windows

compiler=x86_64-w64-mingw32-g++-posix
flags="-std=c++20 -fsyntax-only -Wall -Wextra -DUNICODE -D_UNICODE -DNOMINMAX -DSPDLOG_COMPILED_LIB -DSPDLOG_FMT_EXTERNAL"

# The libraries' headers come through links in a directory of their own: /usr/include itself holds the
# Linux C library, which must not stand in for MinGW's.
include=$(mktemp -d)
trap 'rm -rf "$include"' EXIT
ln -s /usr/include/directx "$include/directx"
ln -s /usr/include/dxguids "$include/dxguids"
ln -s /usr/include/spdlog "$include/spdlog"
ln -s /usr/include/fmt "$include/fmt"
ln -s /usr/include/meshoptimizer.h "$include/meshoptimizer.h"
# vcpkg installs Dear ImGui's headers and the back ends' headers side by side.
for header in /usr/include/imgui/*.h /usr/include/imgui/backends/*.h; do
  ln -s "$header" "$include/$(basename "$header")"
done
# Documented APIs whose headers MinGW lacks come from the project's own declarations of the same API (the
# Windows build takes the real headers from vcpkg or the Windows SDK); they must compile against the Windows
# headers. The stand-in's headers take their basic types from DirectX-Headers' Linux adapter, which on Windows
# are the Windows headers' own.
for own in compat/gltf/cgltf.h platform/include/dxcapi.h; do
  name=$(basename "$own")
  if [ -f "$own" ] && ! echo "#include <$name>" | "$compiler" -E -x c++ - >/dev/null 2>&1; then
    ln -s "$PWD/$own" "$include/$name"
  fi
done
mkdir "$include/wsl"
printf '#pragma once\n#include <windows.h>\n#include <unknwn.h>\n' >"$include/wsl/winadapter.h"
# The build's compatibility header for meshopt_optimizeMeshlet is on the Windows build's include path too; it
# declares the function only where meshoptimizer lacks it, as Debian's 0.18 (whose header the check uses) does.
flags="$flags -Icompat/meshopt"
if ! grep -q meshopt_optimizeMeshlet /usr/include/meshoptimizer.h; then
  flags="$flags -DLANTERN_COMPAT_OPTIMIZE_MESHLET"
fi

mapfile -t sources < <(find src -name '*.cpp' | sort)
if [ ${#sources[@]} -eq 0 ]; then
  echo "check-windows: no sources under src/" >&2
  exit 1
fi

log=$(mktemp -d)
trap 'rm -rf "$include" "$log"' EXIT
# One compile per source, in parallel; the libraries' headers are system headers, so that their warnings
# stay quiet and only the project's own show. Warnings are shown, errors fail.
check() {
  local report="$log/$(echo "$1" | tr '/' '_').log"
  # shellcheck disable=SC2086
  "$compiler" $flags -Isrc -isystem "$include" "$1" >"$report" 2>&1 || echo "FAIL $1"
}
export -f check
export compiler flags include log
failures=$(printf '%s\n' "${sources[@]}" | xargs -P "$(nproc)" -I{} bash -c 'check "$1"' _ {})

cat "$log"/*.log
if [ -n "$failures" ]; then
  echo "$failures"
  echo "check-windows: $(echo "$failures" | wc -l) of ${#sources[@]} sources do not compile for Windows" >&2
  exit 1
fi
echo "check-windows: ${#sources[@]} sources compile for Windows"
