#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test with ctest. Pass "sanitize" to run the suite under
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"
./scripts/build.sh "$preset"
ctest --preset "$preset"
