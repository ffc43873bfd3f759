#!/usr/bin/env bash
# Packs a content folder into a group archive whose entries sit under "Content/":
#   make-content.sh FOLDER ARCHIVE
set -euo pipefail
src=$(cd "$1" && pwd)
out=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/Content"
cp "$src"/* "$work/Content/"
rm -f "$out.tmp"
# -X leaves out the extra attributes, so the archive depends only on the files' bytes and times.
(cd "$work" && zip -q -X -r "$out.tmp" Content)
mv "$out.tmp" "$out"
