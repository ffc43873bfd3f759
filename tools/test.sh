#!/usr/bin/env bash
# Builds everything and runs the whole test suite under Wine. Installs what is missing first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QE_BUILD_DIR:-$root/build}

bash "$root/tools/install-deps.sh"

# Without 32-bit support no test program can start: build, run the checks that need no Wine, and
# fail with the reason instead of a wall of "Exec format error".
if ! bash "$root/tools/can-run-32bit.sh"; then
  cmake -S "$root" -B "$build" -G Ninja >/dev/null
  cmake --build "$build"
  (cd "$build" && ctest --output-on-failure -R '^(Layers|LayersSelfTest|Format)$') || true
  echo "FAILED: the test programs were not run: this machine cannot execute 32-bit x86 code." >&2
  exit 1
fi

source "$root/tools/wine-env.sh"

cmake -S "$root" -B "$build" -G Ninja >/dev/null
cmake --build "$build"
cd "$build"
ctest --output-on-failure -j2 "$@"
