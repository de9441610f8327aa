#!/usr/bin/env bash
# Lists the tests of the last ctest run in BUILD_DIR that were skipped, each
# with the reason the test gave.
#   scripts/skip-reasons.sh BUILD_DIR
set -euo pipefail
log=${1:?usage: skip-reasons.sh BUILD_DIR}/Testing/Temporary/LastTest.log
[ -f "$log" ] || exit 0
awk '
  /^[0-9]+\/[0-9]+ Test: / { name = $3; reason = ""; inskip = 0; next }
  /: Skipped$/ { inskip = 1; next }
  inskip && /^\[  SKIPPED \]/ { inskip = 0; done[name] = 1; lines[++n] = "  " name ": " (reason == "" ? "(no reason given)" : reason); next }
  inskip { sub(/^ +/, ""); if ($0 != "") reason = (reason == "" ? $0 : reason " " $0); next }
  /^Test Skipped\.|Skipped\.$/ { if (!(name in done)) { done[name] = 1; lines[++n] = "  " name ": (no reason given)" } }
  END {
    if (n == 0) exit
    printf "%d tests skipped:\n", n
    for (i = 1; i <= n; ++i) print lines[i]
  }
' "$log"
