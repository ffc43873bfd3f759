#!/usr/bin/env bash
# Installs what building and testing need on Debian 12, as root. Does nothing slow when all is there.
set -euo pipefail

pkgs=(g++-mingw-w64-i686-posix mingw-w64-i686-dev libz-mingw-w64-dev googletest cmake ninja-build
      wine wine32:i386 xvfb xauth libgl1:i386 libgl1-mesa-dri:i386 libglx-mesa0:i386 python3 zip
      clang-format libcereal-dev rapidjson-dev libstb-dev libglm-dev libtinygltf-dev
      nlohmann-json3-dev assimp-testmodels)

missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

# A kernel that cannot execute 32-bit x86 code cannot run Wine's 32-bit loader: the tests then run
# on a test machine that qemu emulates (tools/vm/run.sh), with Debian's kernel.
here=$(cd "$(dirname "$0")" && pwd)
vm_cache=${QE_VM_CACHE:-/var/cache/qe-vm}
need_vm=0
if ! bash "$here/can-run-32bit.sh" 2>/dev/null; then
  need_vm=1
  for p in qemu-system-x86 busybox-static; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
fi

if [ ${#missing[@]} -ne 0 ]; then
  echo "Installing: ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  export DEBIAN_FRONTEND=noninteractive
  # A mirror caught mid-sync fails the update now and then: try again, and let the install itself
  # decide whether the indexes it got are enough.
  for attempt in 1 2 3; do
    apt-get update -qq && break
    echo "apt-get update failed (attempt $attempt of 3)" >&2
    [ $attempt -lt 3 ] && sleep 20
  done
  if ! apt-get install -y -qq --no-install-recommends "${missing[@]}"; then
    # Seen: the security suite's i386 index stale on the mirror, so no i386 library could match
    # the version of its amd64 twin. The release's own suites alone are consistent.
    echo "Installing from the release's suites without the security suite" >&2
    plain=$(mktemp -d)
    for f in /etc/apt/sources.list.d/*.sources; do
      [ -e "$f" ] && awk 'BEGIN { RS = ""; ORS = "\n\n" } !/debian-security/' "$f" > "$plain/$(basename "$f")"
    done
    [ -f /etc/apt/sources.list ] && grep -v 'debian-security' /etc/apt/sources.list > "$plain/main.list" || true
    opts=(-o Dir::Etc::SourceParts="$plain" -o Dir::Etc::SourceList=/dev/null)
    apt-get "${opts[@]}" update -qq
    apt-get "${opts[@]}" install -y -qq --no-install-recommends "${missing[@]}"
    rm -rf "$plain"
  fi
fi

if [ $need_vm -eq 1 ] && [ ! -f "$vm_cache/vmlinuz" ]; then
  # Only the kernel and the drivers of the shared folder are kept; nothing is installed.
  kpkg=$(apt-cache depends linux-image-amd64 | awk '/Depends: linux-image-[0-9]/ { print $2; exit }')
  echo "Fetching the test machine's kernel: $kpkg"
  work=$(mktemp -d)
  chmod 777 "$work"
  (cd "$work" && apt-get download -qq "$kpkg" && dpkg-deb -x ./*.deb tree)
  mkdir -p "$vm_cache/modules"
  for m in virtio_ring virtio virtio_pci_modern_dev virtio_pci_legacy_dev virtio_pci netfs fscache \
           9pnet 9pnet_virtio 9p; do
    find "$work/tree/lib/modules" -name "$m.ko" -exec cp {} "$vm_cache/modules/" \;
  done
  cp "$work"/tree/boot/vmlinuz-* "$vm_cache/vmlinuz.tmp"
  mv "$vm_cache/vmlinuz.tmp" "$vm_cache/vmlinuz"
  rm -rf "$work"
fi
