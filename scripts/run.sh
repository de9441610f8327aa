#!/usr/bin/env bash
# Builds quarnel-cli (Release) and runs it. Relative paths are taken from the
# folder you run this in; the build's own output goes to
# build/release/build.log, so the tool's standard output stays its own
# (`run.sh scan IMAGE --json` is plain JSON lines).
#   scripts/run.sh            a demonstration: makes a small FAT image with a
#                             few deleted files, scans it and recovers every
#                             file into build/demo/recovered
#   scripts/run.sh ARGS...    quarnel-cli ARGS... (e.g. devices, scan /dev/sdb1)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export CCACHE_DIR=${CCACHE_DIR:-$root/.cache/ccache}
build=$root/build/release
log=$build/build.log
mkdir -p "$build"
cli=$build/src/cli/quarnel-cli
[ -x "$cli" ] || echo "run.sh: building quarnel-cli (Release; the first time takes a few minutes; log: $log)" >&2
if ! { cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUARNEL_BUILD_TESTS=OFF &&
       cmake --build "$build" -j "$(nproc)" --target quarnel-cli; } >"$log" 2>&1; then
  tail -n 40 "$log" >&2
  echo "run.sh: building quarnel-cli failed; the whole output is in $log" >&2
  exit 1
fi
if [ "$#" -gt 0 ]; then
  exec "$cli" "$@"
fi

demo=$root/build/demo
mkdir -p "$demo"
"$root/scripts/make-demo-image.sh" "$demo/demo.img" >/dev/null
rm -rf "$demo/recovered"
echo "== files found on $demo/demo.img (quick scan) =="
"$cli" scan "$demo/demo.img" || "$cli" scan "$demo/demo.img" --deep
echo "== recovering into $demo/recovered =="
"$cli" recover "$demo/demo.img" --to "$demo/recovered" || "$cli" recover "$demo/demo.img" --deep --to "$demo/recovered"
