#!/usr/bin/env bash
# Builds Postrella (release) and starts it.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target Postrella
exec build/release/program/Postrella "$@"
