#!/usr/bin/env bash
# Builds the Release programs and runs the command-line tool.
#   scripts/run.sh            a demonstration: makes a small FAT image with a
#                             few deleted files, scans it and recovers every
#                             file into build/demo/recovered
#   scripts/run.sh ARGS...    quarnel-cli ARGS... (e.g. devices, scan /dev/sdb1)
set -euo pipefail
cd "$(dirname "$0")/.."
export CCACHE_DIR=${CCACHE_DIR:-$PWD/.cache/ccache}
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUARNEL_BUILD_TESTS=OFF >/dev/null
cmake --build build/release -j "$(nproc)" --target quarnel-cli
cli=build/release/src/cli/quarnel-cli
if [ "$#" -gt 0 ]; then
  exec "$cli" "$@"
fi

demo=build/demo
mkdir -p "$demo"
scripts/make-demo-image.sh "$demo/demo.img" >/dev/null
rm -rf "$demo/recovered"
echo "== files found on $demo/demo.img (quick scan) =="
"$cli" scan "$demo/demo.img" || "$cli" scan "$demo/demo.img" --deep
echo "== recovering into $demo/recovered =="
"$cli" recover "$demo/demo.img" --to "$demo/recovered" || "$cli" recover "$demo/demo.img" --deep --to "$demo/recovered"
