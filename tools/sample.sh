#!/usr/bin/env bash
# Builds Core and runs the sample host program under Wine. Installs what is missing first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QE_BUILD_DIR:-$root/build}

bash "$root/tools/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target SampleHost
cd "$build/bin"
bash "$root/tools/on-wine.sh" "$root/tools/wine-run" ./SampleHost.exe "$@"
echo
echo "== The log it left: $build/Temp/SampleHost.log"
cat "$build/Temp/SampleHost.log"
