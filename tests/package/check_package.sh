#!/usr/bin/env bash
# Builds a small consumer program against Core as an installed package and as a subproject, and
# runs it under Wine. Arguments: source dir, build dir of the library, scratch dir.
set -euo pipefail
src=$1
build=$2
scratch=$3
toolchain=$src/cmake/toolchain-i686-w64-mingw32.cmake
rm -rf "$scratch"
mkdir -p "$scratch"

cmake --install "$build" --prefix "$scratch/install" >/dev/null
cmake -S "$src/tests/package/consumer" -B "$scratch/installed" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_PREFIX_PATH="$scratch/install" >/dev/null
cmake --build "$scratch/installed" >/dev/null
out=$(WINEPATH="$(winepath -w "$scratch/install/bin")" "$src/tools/wine-run" "$scratch/installed/Consumer.exe" | tr -d "\r")
echo "installed package: $out"
[ "$out" = "consumer caught: Cannot read from dummy stream!" ]

cmake -S "$src/tests/package/consumer" -B "$scratch/subproject" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DQE_SOURCE_DIR="$src" >/dev/null
cmake --build "$scratch/subproject" >/dev/null
cp "$scratch/subproject/QuennelEngine/core/Core.dll" "$scratch/subproject/"
for dll in "$build"/bin/lib*.dll; do cp "$dll" "$scratch/subproject/"; done
out=$("$src/tools/wine-run" "$scratch/subproject/Consumer.exe" | tr -d "\r")
echo "subproject: $out"
[ "$out" = "consumer caught: Cannot read from dummy stream!" ]
