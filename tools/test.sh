#!/usr/bin/env bash
# Builds everything and runs the whole test suite under Wine. Installs what is missing first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QE_BUILD_DIR:-$root/build}

bash "$root/tools/install-deps.sh"
source "$root/tools/wine-env.sh"

cmake -S "$root" -B "$build" -G Ninja >/dev/null
cmake --build "$build"
cd "$build"
ctest --output-on-failure -j2 "$@"
