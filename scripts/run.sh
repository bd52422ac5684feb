#!/usr/bin/env bash
# Installs what is missing, builds (which also generates the sample data) and runs the program on the sample
# scene from the repository root. On Linux it runs headless on the stand-in platform and ends by itself after
# the stand-in's frame limit (STANDIN_FRAMES); STANDIN_SCRIPT scripts input (see platform/README.md).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/build.sh
exec ./build/QuietLanternHour
