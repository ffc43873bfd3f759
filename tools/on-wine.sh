#!/usr/bin/env bash
# Runs a command where the project's 32-bit Windows programs can run: here, with Wine's settings,
# display and server ready (wine-env.sh), or, when this machine's kernel cannot execute 32-bit x86
# code, in the same way on the emulated test machine of vm/run.sh. The exit code is the command's.
set -euo pipefail
tools=$(cd "$(dirname "$0")" && pwd)
if bash "$tools/can-run-32bit.sh" 2>/dev/null; then
  source "$tools/wine-env.sh"
  exec "$@"
fi
echo "This machine cannot execute 32-bit x86 code; running on an emulated test machine (slower)." >&2
exec bash "$tools/vm/run.sh" bash -c 'source "$0" && exec "$@"' "$tools/wine-env.sh" "$@"
