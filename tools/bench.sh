#!/usr/bin/env bash
# Builds and runs every benchmark under Wine (by hand; not part of the test suite). An argument
# picks the benchmarks whose name contains it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QE_BUILD_DIR:-$root/build}

bash "$root/tools/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja >/dev/null
cmake --build "$build"
cd "$build/bin"
bash "$root/tools/on-wine.sh" bash -c '
  for exe in *Bench.exe; do
    [ -n "$1" ] && [[ "$exe" != *"$1"* ]] && continue
    echo "== $exe"
    "$0" "./$exe"
  done' "$root/tools/wine-run" "${1:-}"
