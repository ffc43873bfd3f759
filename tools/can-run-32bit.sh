#!/usr/bin/env bash
# Exits 0 when this machine runs 32-bit x86 Linux programs natively, as Wine's 32-bit loader (and
# so every test program) needs; otherwise says why on standard error and exits 1. Kernels can be
# built or booted without 32-bit support (ia32_emulation=off); under an emulator registered for
# i386 programs Wine is far too slow and unreliable to test with, so that counts as no.
if [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ] && grep -qx enabled /proc/sys/fs/binfmt_misc/qemu-i386; then
  echo "32-bit programs would run under qemu-i386 (binfmt_misc), not natively." >&2
  exit 1
fi
if ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  echo "This machine cannot execute 32-bit x86 programs: the kernel refuses them" \
       "(Exec format error)." >&2
  dmesg 2>/dev/null | grep -i "32-bit emulation" | tail -1 >&2 || true
  exit 1
fi
