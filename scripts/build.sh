#!/usr/bin/env bash
# Configures and builds one CMake preset (default: dev). Usage: scripts/build.sh [PRESET] [ninja targets...]
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-dev}
shift || true
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -- "$@"
