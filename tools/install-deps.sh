#!/usr/bin/env bash
# Installs what building and testing need on Debian 12, as root. Does nothing slow when all is there.
set -euo pipefail

pkgs=(g++-mingw-w64-i686-posix mingw-w64-i686-dev libz-mingw-w64-dev googletest cmake ninja-build
      wine wine32:i386 xvfb xauth libgl1:i386 libgl1-mesa-dri:i386 libglx-mesa0:i386 python3 zip
      clang-format)

missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
