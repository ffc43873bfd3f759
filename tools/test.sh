#!/usr/bin/env bash
# Builds everything and runs the whole test suite under Wine. Installs what is missing first.
# Arguments go to ctest.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QE_BUILD_DIR:-$root/build}

bash "$root/tools/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja >/dev/null
cmake --build "$build"
cd "$build"
if bash "$root/tools/can-run-32bit.sh" 2>/dev/null; then
  source "$root/tools/wine-env.sh"
  exec ctest --output-on-failure -j2 "$@"
fi
# The tests that need no Wine run here; the others on the emulated test machine.
rc=0
ctest --output-on-failure -j2 -L host "$@" || rc=$?
bash "$root/tools/on-wine.sh" ctest --output-on-failure -j2 -L wine "$@" || rc=$?
exit $rc
