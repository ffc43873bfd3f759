#!/usr/bin/env bash
# Runs a command on a small x86-64 Linux test machine that qemu emulates in software, for hosts
# whose kernel cannot execute 32-bit x86 code (booted with ia32_emulation=off, or without it). The
# test machine boots Debian's kernel, which can, and runs the host's own file system as its root,
# so the command sees the same programs, files and paths and its writes land on the host. Its output
# comes to standard output; the exit code is the command's.
#
#   tools/vm/run.sh ctest --output-on-failure
#
# tools/install-deps.sh fetches what it needs (qemu, busybox, the kernel) into /var/cache/qe-vm.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cache=${QE_VM_CACHE:-/var/cache/qe-vm}
kernel=$cache/vmlinuz
initrd=$cache/initrd.gz

if [ ! -f "$kernel" ] || [ ! -d "$cache/modules" ]; then
  echo "run.sh: no test machine kernel in $cache (run tools/install-deps.sh)" >&2
  exit 2
fi
# The initial file system: busybox, the drivers for the shared folder and the init script.
if [ ! -f "$initrd" ] || [ "$here/init" -nt "$initrd" ]; then
  staging=$(mktemp -d)
  mkdir -p "$staging"/{bin,proc,sys,dev,root}
  cp /bin/busybox "$staging/bin/"
  cp -r "$cache/modules" "$staging/modules"
  cp "$here/init" "$staging/init"
  chmod +x "$staging/init"
  (cd "$staging" && find . | busybox cpio -o -H newc 2>/dev/null | gzip -1 >"$initrd.tmp")
  mv "$initrd.tmp" "$initrd"
  rm -rf "$staging"
fi

# The command, with the working folder and the environment that matters to the project.
dir=$(mktemp -d /var/tmp/qe-vm.XXXXXX)
trap 'rm -rf "$dir"' EXIT
{
  echo "export HOME=$(printf %q "$HOME") PATH=$(printf %q "$PATH") LANG=C.UTF-8"
  while IFS= read -r name; do
    echo "export $name=$(printf %q "${!name}")"
  done < <(compgen -e | grep -E '^(QE_|WINE|GTEST_|CTEST_)' || true)
  echo "cd $(printf %q "$PWD")"
  # Through a pipe: the console of the test machine is a terminal, and Wine draws on terminals.
  printf '%q ' "$@"
  echo '2>&1 | cat'
  echo 'exit ${PIPESTATUS[0]}'
} >"$dir/command"

# A working folder in /tmp is shared by its first component (the test machine has a /tmp of its own).
share=
if [[ "$PWD" == /tmp/?* ]]; then
  rest=${PWD#/tmp/}
  share=/tmp/${rest%%/*}
fi
if [[ "$share$dir" == *[[:space:]]* ]]; then
  echo "run.sh: a working folder with blanks in its name cannot be shared: $share" >&2
  exit 2
fi

# -cpu qemu64 with the SSE levels added: the richer models trip over 32-bit code in Wine.
qemu-system-x86_64 -accel tcg,thread=multi -smp "$(nproc)" -m "${QE_VM_MEMORY:-6144}" \
  -cpu qemu64,+ssse3,+sse4.1,+sse4.2,+popcnt -nodefaults -no-user-config -display none \
  -serial stdio -no-reboot -kernel "$kernel" -initrd "$initrd" \
  -append "console=ttyS0 quiet panic=-1 qe_dir=$dir${share:+ qe_share=$share}" \
  -virtfs local,path=/,mount_tag=hostroot,security_model=passthrough,multidevs=remap,id=root \
  </dev/null
if [ ! -f "$dir/rc" ]; then
  echo "run.sh: the test machine stopped before the command finished" >&2
  exit 2
fi
exit "$(cat "$dir/rc")"
