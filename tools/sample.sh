#!/usr/bin/env bash
# Builds Core, the engine stand-in, the backend and the sample host with its content archive, and
# runs the host unattended under Wine (on the Xvfb display wine-env.sh starts). Installs what is
# missing first. It leaves build/Temp/SampleHost.log, build/Temp/Screenshot.png and
# build/Temp/Scene.bwld.
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
echo "== The screenshot: $build/Temp/Screenshot.png"
