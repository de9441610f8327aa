#!/usr/bin/env bash
# Formats C++ sources with the repository's .clang-format (clang-format 14).
#   scripts/format.sh            every tracked .cpp/.h/.cc under src, tests, fuzz, bench, tools
#   scripts/format.sh PATH...    those files and folders only
#   scripts/format.sh --check    lists the files that differ and fails, changing nothing
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || { echo "format.sh: clang-format is missing (apt-get install clang-format)" >&2; exit 2; }
check=0
if [ "${1:-}" = "--check" ]; then check=1; shift; fi
paths=("$@")
[ ${#paths[@]} -gt 0 ] || paths=(src tests fuzz bench tools)
mapfile -t files < <(git ls-files -- "${paths[@]}" | grep -E '\.(cpp|cc|h)$' || true)
[ ${#files[@]} -gt 0 ] || exit 0
if [ "$check" -eq 1 ]; then
  status=0
  for f in "${files[@]}"; do
    clang-format --style=file "$f" | cmp -s - "$f" || { echo "$f"; status=1; }
  done
  exit "$status"
fi
clang-format --style=file -i "${files[@]}"
