#!/usr/bin/env bash
# Builds Postrella with its tests (warnings as errors) and runs the whole suite.
# Pass "asan" to run it under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")"
preset="${1:-dev}"
scripts/install-deps.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
ctest --preset "$preset"
