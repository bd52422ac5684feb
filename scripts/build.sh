#!/usr/bin/env bash
# Installs what is missing, configures (preset "default" unless one is named) and builds, with LANTERN_JOBS
# parallel jobs (default: one per core).
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"
./scripts/setup.sh
# The configure is quiet but for which shader compiler it found.
cmake --preset "$preset" | { grep '^-- DirectX Shader Compiler' || true; }
cmake --build --preset "$preset" -j "${LANTERN_JOBS:-$(nproc)}"
ln -sf "build/compile_commands.json" compile_commands.json
