#!/bin/bash
# Complete-scan (--disk) speed of one or more quarnel-cli builds against cat
# (page cache warm) and dd iflag=direct (cache dropped), all interleaved in
# one run, so builds can be compared on a busy machine (never a pass/fail
# test).
#   complete-scan-ratios.sh IMAGEDIR RUNS CLI [CLI...]
# Every *.img in IMAGEDIR is scanned; a link into /dev/shm has no cold case.
# Each figure is the median of RUNS; "ratio" is the reference's time over
# the scan's (the share of the reference's speed, higher is better).
set -uo pipefail
D=$(realpath "$1"); RUNS=$2; shift 2
CLIS=()
for c in "$@"; do CLIS+=("$(realpath "$c")"); done
W=$(mktemp -d); trap 'rm -rf "$W"' EXIT

run() {  # run NAME CMD...: appends the seconds of one run to $W/NAME
  local name=$1; shift
  /usr/bin/time -f "%e" -o "$W/t" "$@" >/dev/null 2>&1
  cat "$W/t" >> "$W/$name"
}
median() { sort -n "$W/$1" | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
drop() { sync "$1"; dd if="$1" iflag=nocache count=0 status=none; }

echo "| image | case | reference | $(for c in "${CLIS[@]}"; do printf '%s | ' "$(basename "$c")"; done)"
echo "|---|---|---|$(for c in "${CLIS[@]}"; do printf -- '---|'; done)"
for f in "$D"/*.img; do
  name=$(basename "$f" .img); real=$(realpath "$f")
  for i in $(seq "$RUNS"); do
    cat "$real" >/dev/null
    run "cat-$name" cat "$real"
    for n in "${!CLIS[@]}"; do run "warm-$name-$n" "${CLIS[$n]}" scan "$real" --disk --json; done
  done
  rt=$(median "cat-$name")
  printf "| %s (%s) | warm | cat %.2f s |" "$name" "$(du -hL --apparent-size "$real" | cut -f1)" "$rt"
  for n in "${!CLIS[@]}"; do
    qt=$(median "warm-$name-$n"); printf " %.2f s, %.3f of cat |" "$qt" "$(awk -v a="$rt" -v b="$qt" 'BEGIN{print (b>0?a/b:0)}')"
  done
  echo
  case $real in /dev/shm/*) continue ;; esac
  for i in $(seq "$RUNS"); do
    drop "$real"; run "dd-$name" dd if="$real" of=/dev/null bs=4M iflag=direct
    for n in "${!CLIS[@]}"; do drop "$real"; run "cold-$name-$n" "${CLIS[$n]}" scan "$real" --disk --json; done
  done
  rt=$(median "dd-$name")
  printf "| %s | cold | dd direct %.2f s |" "$name" "$rt"
  for n in "${!CLIS[@]}"; do
    qt=$(median "cold-$name-$n"); printf " %.2f s, %.3f of dd |" "$qt" "$(awk -v a="$rt" -v b="$qt" 'BEGIN{print (b>0?a/b:0)}')"
  done
  echo
done
