#!/usr/bin/env bash
# Builds and runs every benchmark under Wine (by hand; not part of the test suite).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QE_BUILD_DIR:-$root/build}

bash "$root/tools/install-deps.sh"
source "$root/tools/wine-env.sh"

cmake -S "$root" -B "$build" -G Ninja >/dev/null
cmake --build "$build"
cd "$build/bin"
for exe in *Bench.exe; do
  [ -n "${1:-}" ] && [[ "$exe" != *"$1"* ]] && continue
  echo "== $exe"
  "$root/tools/wine-run" "./$exe"
done
