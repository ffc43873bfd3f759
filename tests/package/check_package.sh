#!/usr/bin/env bash
# Builds a small consumer program against Core as an installed package and as a subproject, and
# runs it under Wine. Arguments: build or run, source dir, build dir of the library, scratch dir.
# The two steps are apart so that the build can happen where Wine cannot run (tools/on-wine.sh).
set -euo pipefail
step=$1
src=$2
build=$3
scratch=$4
toolchain=$src/cmake/toolchain-i686-w64-mingw32.cmake

if [ "$step" = run ]; then
  out=$(WINEPATH="$(winepath -w "$scratch/install/bin")" "$src/tools/wine-run" \
          "$scratch/installed/Consumer.exe" | tr -d "\r")
  echo "installed package: $out"
  [ "$out" = "consumer caught: Cannot read from dummy stream!" ]
  out=$("$src/tools/wine-run" "$scratch/subproject/Consumer.exe" | tr -d "\r")
  echo "subproject: $out"
  [ "$out" = "consumer caught: Cannot read from dummy stream!" ]
  exit 0
fi

rm -rf "$scratch"
mkdir -p "$scratch"
cmake --install "$build" --prefix "$scratch/install" >/dev/null
cmake -S "$src/tests/package/consumer" -B "$scratch/installed" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_PREFIX_PATH="$scratch/install" >/dev/null
cmake --build "$scratch/installed" >/dev/null

cmake -S "$src/tests/package/consumer" -B "$scratch/subproject" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DQE_SOURCE_DIR="$src" >/dev/null
cmake --build "$scratch/subproject" >/dev/null
cp "$scratch/subproject/QuennelEngine/core/Core.dll" "$scratch/subproject/"
for dll in "$build"/bin/lib*.dll; do cp "$dll" "$scratch/subproject/"; done
echo "built the consumer as an installed package and as a subproject"
