#!/usr/bin/env bash
# Installs the Debian packages the Linux build, its tests and the Windows syntax check need.
# Idempotent: does nothing when every package is already installed.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang clang-format
  libclang-rt-14-dev
  directx-headers-dev
  libimgui-dev
  libspdlog-dev libfmt-dev
  libmeshoptimizer-dev
  libtinygltf-dev nlohmann-json3-dev
  libgtest-dev libgmock-dev libbenchmark-dev libpng-dev
)
if [ "${1:-}" = "--windows" ]; then
  # scripts/check-windows.sh: MinGW-w64 with its Windows headers, and the libraries' headers it compiles against.
  packages=(g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev directx-headers-dev libimgui-dev libspdlog-dev
            libfmt-dev libmeshoptimizer-dev nlohmann-json3-dev)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
