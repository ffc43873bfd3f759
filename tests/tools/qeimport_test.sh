#!/usr/bin/env bash
# The importer on every glTF 2.0 model of Debian's assimp-testmodels: each one is imported (exit 0,
# an archive that reads back with its scene and preload list) or refused (exit 1, a message that
# names the model, nothing left behind); none crashes or hangs (each run is bounded). Then the
# models whose outcome is known, the text form, and usage and exit codes.
# Arguments: qeimport.exe, a scratch folder.
set -u
here=$(cd "$(dirname "$0")" && pwd)
run="$here/../../tools/wine-run"
qeimport=$1
work=$2
models=${QE_GLTF_MODELS:-/usr/share/assimp/models/glTF2}
rm -rf "$work" && mkdir -p "$work/out" && cd "$work" || exit 1
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
[ -d "$models" ] || { echo "FAIL: $models is missing (package assimp-testmodels)"; exit 1; }

# Runs qeimport, bounded in time; standard output (CR removed) in $out, standard error in $err,
# the exit code in $rc (124 when it ran out of time).
q() {
  timeout 300 "$run" "$qeimport" "$@" >q.out 2>q.err
  rc=$?
  out=$(tr -d '\r' <q.out)
  err=$(tr -d '\r' <q.err)
}
# An archive: readable, its entries whole (CRC), a scene and a preload list that names only
# entries of the archive.
check_archive() {
  python3 - "$1" <<'PY' || fail "$1 does not read back"
import sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
bad = z.testzip()
assert bad is None, "entry %s is damaged" % bad
names = z.namelist()
scenes = [n for n in names if n.endswith("/Scene.wld")]
assert len(scenes) == 1, names
for line in z.read(scenes[0] + ".preload").decode().splitlines():
    weight, path = line.split(":", 1)
    assert path.strip() in names and int(weight) == z.getinfo(path.strip()).file_size, line
PY
}

imported=0
refused=0
declare -A outcome message
# (a list file: the test machine has no /dev/fd for a process substitution)
find "$models" -name '*.gltf' -o -name '*.glb' | sort >models.txt
while IFS= read -r model; do
  i=$((imported + refused))
  q "$model" "out/$i.gro" --quiet
  case $rc in
  0)
    imported=$((imported + 1))
    [ -s "out/$i.gro" ] || fail "$model: exit 0 without an archive"
    case "$out$err" in *ERR:* | *WRN:*) fail "$model: the library complained: $out$err" ;; esac
    check_archive "out/$i.gro"
    ;;
  1)
    refused=$((refused + 1))
    case "$err" in "$model: "?*) ;; *) fail "$model: refused without naming the model: $err" ;; esac
    [ -e "out/$i.gro" ] && fail "$model: a refused model left an archive"
    ;;
  124) fail "$model: still running after 300 s" ;;
  *) fail "$model: exit $rc: $err" ;;
  esac
  [ -e "out/$i.gro.importing" ] && fail "$model: a temporary archive was left behind"
  outcome[$model]=$rc
  message[$model]=$err
  printf '%s %s %s\n' "$rc" "${model#$models/}" "${err#$model: }"
done <models.txt
[ $((imported + refused)) -ge 40 ] || fail "only $((imported + refused)) models found"

# What is known about the models: the real ones import, the broken ones are refused for their
# fault.
expect() { # expect MODEL RC TEXT: the model's exit code, and TEXT in its message
  local m="$models/$1"
  [ "${outcome[$m]-none}" = "$2" ] || fail "$1: exit ${outcome[$m]-none}, expected $2: ${message[$m]-}"
  case "${message[$m]-}" in *"$3"*) ;; *) fail "$1: expected '$3' in: ${message[$m]-}" ;; esac
}
expect 2CylinderEngine-glTF-Binary/2CylinderEngine.glb 0 ""
expect BoxTextured-glTF/BoxTextured.gltf 0 ""
expect BoxTextured-glTF-Binary/BoxTextured.glb 0 ""
expect BoxTextured-glTF-Embedded/BoxTextured.gltf 0 ""
expect IndexOutOfRange/IndexOutOfRange.gltf 1 "vertices"
expect IndexOutOfRange/AllIndicesOutOfRange.gltf 1 "vertices"
expect MissingBin/BoxTextured.gltf 1 "BoxTextured0.bin"
expect BoxWithInfinites-glTF-Binary/BoxWithInfinites.glb 1 "not finite"
expect RecursiveNodes/RecursiveNodes.gltf 1 "node"
expect draco/2CylinderEngine.gltf 1 "bufferView"
expect IncorrectVertexArrays/Cube.gltf 1 "no whole triangles"
expect wrongTypes/badArray.gltf 1 ""
expect TestNoRootNode/SceneWithoutNodes.gltf 1 "no triangles"
expect glTF-Asset-Generator/Mesh_PrimitiveMode/Mesh_PrimitiveMode_01.gltf 1 "points or lines"
expect glTF-Asset-Generator/Mesh_PrimitiveMode/Mesh_PrimitiveMode_04.gltf 0 ""
expect glTF-Asset-Generator/Mesh_PrimitiveMode/Mesh_PrimitiveMode_05.gltf 0 ""
expect BoxTextured-glTF-techniqueWebGL/BoxTextured.gltf 1 "requires the extension"

# The summary of a real model, and the text form with its texture.
q "$models/2CylinderEngine-glTF-Binary/2CylinderEngine.glb" Engine.gro
[ "$rc" = 0 ] || fail "the engine: exit $rc: $err"
case "$out" in *"into Engine.gro as Content/Engine/Scene.wld"*"34 meshes (55843 vertices, 75730 triangles)"*) ;;
*) fail "the engine's summary: $out" ;; esac
q "$models/BoxTextured-glTF/BoxTextured.gltf" Box.gro --text
[ "$rc" = 0 ] || fail "the box in the text form: exit $rc: $err"
case "$out" in *"1 textures"*) ;; *) fail "the box's texture is missing: $out" ;; esac
python3 - Box.gro <<'PY' || fail "the text form's files"
import sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
for name in ("Content/Box/Scene.wld", "Content/Box/Meshes.rsc", "Content/Box/Textures.rsc"):
    assert z.read(name).lstrip(b"\xef\xbb\xbf").startswith(b"QuennelE"), name
PY
# Entries are stored as they are (Engine.gro above), deflated with --deflate; both archives
# whole.
q "$models/2CylinderEngine-glTF-Binary/2CylinderEngine.glb" Deflated.gro --deflate --quiet
[ "$rc" = 0 ] || fail "the engine deflated: exit $rc: $err"
check_archive Deflated.gro
python3 - Engine.gro Deflated.gro <<'PY' || fail "the entries' compression"
import sys, zipfile
assert all(i.compress_type == zipfile.ZIP_STORED for i in zipfile.ZipFile(sys.argv[1]).infolist())
# (an entry that deflating would not shrink, as the short preload list, stays stored)
assert all(i.compress_type == zipfile.ZIP_DEFLATED
           for i in zipfile.ZipFile(sys.argv[2]).infolist() if i.file_size > 1000)
PY
# An existing archive is replaced whole, and a refused model leaves it as it was.
cp Box.gro Kept.gro
q "$models/MissingBin/BoxTextured.gltf" Kept.gro
[ "$rc" = 1 ] && cmp -s Box.gro Kept.gro || fail "a refused model changed the existing archive"

# Meshes that all read one large accessor: each is small in the file, the converted whole is not.
# The importer refuses the model once its content would pass its bound, before allocating it.
python3 - <<'PY' || fail "the shared-accessor model could not be made"
import json, os
n = 3 * 349525  # whole triangles, about a million vertices: 36 MiB once converted
os.makedirs("Shared", exist_ok=True)
with open("Shared/big.bin", "wb") as f:
    f.write(bytes(12 * n))
doc = {"asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": list(range(40))}],
       "nodes": [{"mesh": i} for i in range(40)],
       "meshes": [{"primitives": [{"attributes": {"POSITION": 0}}]} for _ in range(40)],
       "accessors": [{"bufferView": 0, "componentType": 5126, "count": n, "type": "VEC3",
                      "min": [0, 0, 0], "max": [0, 0, 0]}],
       "bufferViews": [{"buffer": 0, "byteLength": 12 * n}],
       "buffers": [{"uri": "big.bin", "byteLength": 12 * n}]}
with open("Shared/Shared.gltf", "w") as f:
    json.dump(doc, f)
PY
q Shared/Shared.gltf Shared.gro --quiet
[ "$rc" = 1 ] || fail "a model whose meshes share one large accessor: exit $rc: $err"
case "$err" in "Shared/Shared.gltf: mesh "*"past 512 MiB"*) ;; *) fail "the shared accessor: $err" ;; esac
[ -e Shared.gro ] || [ -e Shared.gro.importing ] && fail "the shared accessor left an archive"
rm -rf Shared
# Images are bounded in all too: five of the largest size the importer takes, one file named five
# times, are refused at the fifth.
python3 - <<'PY' || fail "the many-images model could not be made"
import json, os, struct, zlib
os.makedirs("Images", exist_ok=True)
side = 4096
row = b"\0" + bytes(3 * side)
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", side, side, 8, 2, 0, 0, 0))
png += chunk(b"IDAT", zlib.compress(row * side, 9)) + chunk(b"IEND", b"")
with open("Images/big.png", "wb") as f:
    f.write(png)
doc = {"asset": {"version": "2.0"}, "images": [{"uri": "big.png"} for _ in range(5)]}
with open("Images/Images.gltf", "w") as f:
    json.dump(doc, f)
PY
q Images/Images.gltf Images.gro --quiet
[ "$rc" = 1 ] || fail "five of the largest images: exit $rc: $err"
case "$err" in "Images/Images.gltf: "*"image 4 takes the model's images past"*) ;; *) fail "the images: $err" ;; esac
[ -e Images.gro ] && fail "the images left an archive"
rm -rf Images

q
[ "$rc" = 2 ] || fail "no arguments exit $rc"
case "$out" in *"usage: qeimport MODEL ARCHIVE"*"exit codes:"*) ;; *) fail "the usage: $out" ;; esac
q Only.glb
[ "$rc" = 2 ] || fail "one argument exit $rc"
q A.glb B.gro --frobnicate
[ "$rc" = 2 ] || fail "an unknown option exit $rc"
q Missing.glb Missing.gro
[ "$rc" = 1 ] || fail "a missing model exit $rc"
case "$err" in *"Missing.glb: cannot be opened: there is no such file"*) ;; *) fail "a missing model: $err" ;; esac
q "$models/BoxTextured-glTF-Binary/BoxTextured.glb" NoSuchFolder/Box.gro
[ "$rc" = 1 ] || fail "an archive in a missing folder exit $rc"
case "$err" in "NoSuchFolder/Box.gro"*": cannot be written"*) ;; *) fail "an archive in a missing folder: $err" ;; esac

echo "$imported imported, $refused refused"
[ $failures = 0 ] && echo "qeimport: all checks passed"
exit $failures
