#!/bin/bash
# Seeds for fat_fuzzer in $1: a small FAT16 and the head of a FAT32 volume
# (the harness reads zeros past the input), with live, deleted and
# long-named files and a deleted folder.
set -euo pipefail
OUT=$1; mkdir -p "$OUT"; W=$(mktemp -d); trap 'rm -rf "$W"' EXIT
export MTOOLS_SKIP_CHECK=1
cd "$W"
printf 'hello\n%.0s' {1..300} > note.txt
head -c 5000 /dev/urandom > photo.jpg
for t in 16 32; do
  I=fat$t.img
  if [ $t = 16 ]; then truncate -s 3M $I; mkfs.vfat -F 16 -s 1 $I >/dev/null
  else truncate -s 34M $I; mkfs.vfat -F 32 -s 1 $I >/dev/null; fi
  mmd -i $I ::/DOCS ::/DOCS/SUB ::/PICS
  mcopy -i $I note.txt "::/DOCS/A long file name.txt"
  mcopy -i $I note.txt photo.jpg ::/DOCS/SUB/
  mcopy -i $I photo.jpg ::/PICS/
  mcopy -i $I note.txt ::/
  mdel -i $I "::/DOCS/A long file name.txt" ::/note.txt
  mdeltree -i $I ::/PICS
  # keep the bytes up to the last non-zero 4 KiB block
  python3 - "$I" "$OUT/seed-fat$t" <<'PY'
import sys
d = open(sys.argv[1], 'rb').read()
end = len(d.rstrip(b'\0'))
open(sys.argv[2], 'wb').write(d[:(end + 4095) // 4096 * 4096])
PY
done
