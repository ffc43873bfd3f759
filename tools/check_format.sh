#!/usr/bin/env bash
# Fails when a source file of ours is not as .clang-format writes it (prints the places).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
mapfile -t files < <(find core tests bench samples tools backend -type f \( -name '*.cpp' -o -name '*.h' \) \
                       2>/dev/null | sort)
clang-format --dry-run --Werror "${files[@]}"
echo "Format: ${#files[@]} files as .clang-format writes them"
