#!/usr/bin/env bash
# Imports a glTF 2.0 model into a content archive and has the sample host draw it under Wine (on
# the Xvfb display wine-env.sh starts):
#
#   bash tools/sample.sh [MODEL.glb|MODEL.gltf]
#
# Without a model it takes 2CylinderEngine.glb of Debian's assimp-testmodels. Installs what is
# missing and builds Core, the engine stand-in, the backend, the importer and the host first.
# The archive is cached as build/Imported/NAME.gro and imported again only when the model or the
# importer is newer, or when NAME.gro was imported from another model of the same name. It leaves build/Temp/SampleHost.log, build/Temp/Screenshot.png and
# build/Temp/Scene.bwld.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QE_BUILD_DIR:-$root/build}
model=${1:-/usr/share/assimp/models/glTF2/2CylinderEngine-glTF-Binary/2CylinderEngine.glb}

bash "$root/tools/install-deps.sh"
[ -f "$model" ] || { echo "sample.sh: $model: there is no such file" >&2; exit 1; }
model=$(cd "$(dirname "$model")" && pwd)/$(basename "$model")
name=$(basename "$model")
name=${name%.*}
cmake -S "$root" -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target SampleHost qeimport
mkdir -p "$build/Imported"
archive=$build/Imported/$name.gro
source=$build/Imported/$name.source
import=0
if [ ! -f "$archive" ] || [ "$model" -nt "$archive" ] || [ "$build/bin/qeimport.exe" -nt "$archive" ] ||
   [ "$(cat "$source" 2>/dev/null)" != "$model" ]; then
  import=1
else
  echo "== $archive is up to date"
fi
cd "$build/bin"
# One start of the test machine for both programs: the import (when needed) and the host.
bash "$root/tools/on-wine.sh" bash -c '
  if [ "$1" = 1 ]; then
    echo "== Importing $2"
    "$3/tools/wine-run" ./qeimport.exe "$2" "$4" || exit $?
  fi
  echo "== Drawing it"
  "$3/tools/wine-run" ./SampleHost.exe "$4"' sample "$import" "$model" "$root" "../Imported/$name.gro"
[ $import -eq 0 ] || printf '%s\n' "$model" > "$source"
echo
echo "== The log it left: $build/Temp/SampleHost.log"
cat "$build/Temp/SampleHost.log"
echo "== The screenshot: $build/Temp/Screenshot.png"
