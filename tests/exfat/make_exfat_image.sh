#!/bin/bash
# Makes DIR/ex.img (64 MiB exFAT written through exfat-fuse) and DIR/src (the sources). Root only.
# The same every time: the sources come from a seeded generator, files are
# copied in name order (not in the order the host lists a folder), and
# mkfs.exfat and the FUSE driver run on a frozen clock, so serial number and
# timestamps repeat.
set -euo pipefail
export TZ=UTC
if [ -z "${QUARNEL_FROZEN_CLOCK:-}" ]; then
  export QUARNEL_FROZEN_CLOCK=1
  exec faketime -f "2021-03-04 05:06:08" bash "$0" "$@"
fi
D=$1; I=$D/ex.img; S=$D/src; M=$D/mnt
rm -rf "$S" "$M" "$I"; mkdir -p "$S/SUB/DEEP" "$S/BIGDIR" "$M"
python3 - "$S" <<'PY'
import os, random, sys
s = sys.argv[1]; r = random.Random(7)
def w(p, n): open(os.path.join(s, p), 'wb').write(bytes(r.getrandbits(8) for _ in range(n)) if n < 65536 else r.randbytes(n))
w('note.txt', 1234); w('Long File Name Report With Many Characters.txt', 70000)
w('Überprüfung_日本語_файл.txt', 5000); w('empty.txt', 0); w('big.bin', 5 * 1024 * 1024 + 17)
w('a_small.bin', 8192); w('b_keep.bin', 65536); w('c_frag.bin', 40000); w('keep.txt', 3000)
w('SUB/sub_a.bin', 100000); w('SUB/DEEP/deep.bin', 3 * 1024 * 1024); w('SUB/DEEP/tiny.txt', 1)
for i in range(60): w('BIGDIR/A rather long file name number %03d.txt' % i, 100 + i * 37)
PY
touch -d "2021-03-04 05:06:08" "$S"/*.* "$S"/SUB/*.* "$S"/SUB/DEEP/* "$S"/BIGDIR/*
truncate -s 64M "$I"
mkfs.exfat -L TESTVOL -c 4K "$I" >/dev/null
LOOP=$(losetup -f --show "$I")
cleanup() { mountpoint -q "$M" && umount "$M"; losetup -d "$LOOP"; }
trap cleanup EXIT
mount.exfat-fuse "$LOOP" "$M" >/dev/null 2>&1
mkdir -p "$M/DOCS" "$M/PICS"
cp -p "$S/note.txt" "$S/Long File Name Report With Many Characters.txt" "$S/Überprüfung_日本語_файл.txt" "$S/empty.txt" "$S/keep.txt" "$M/DOCS/"
# cp -r would copy in the host's listing order, which differs from run to run.
copy_sorted() {  # source folder, target folder
  mkdir -p "$2"
  local f
  while IFS= read -r f; do
    if [ -d "$1/$f" ]; then copy_sorted "$1/$f" "$2/$f"; else cp -p "$1/$f" "$2/"; fi
  done < <(cd "$1" && LC_ALL=C ls -1)
}
copy_sorted "$S/SUB" "$M/DOCS/SUB"
cp -p "$S/big.bin" "$M/PICS/"
cp -p "$S/a_small.bin" "$S/b_keep.bin" "$M/"
sync; rm "$M/a_small.bin"; sync
cp -p "$S/c_frag.bin" "$M/"; sync
copy_sorted "$S/BIGDIR" "$M/BIGDIR"; sync
rm "$M/DOCS/note.txt" "$M/DOCS/Long File Name Report With Many Characters.txt" "$M/DOCS/Überprüfung_日本語_файл.txt" "$M/DOCS/empty.txt"
rm "$M/PICS/big.bin" "$M/c_frag.bin"
rm -r "$M/DOCS/SUB"
rm "$M/BIGDIR/A rather long file name number "0*.txt
sync
# what stays live, as "/path|size"
(cd "$M" && find . -mindepth 1 -printf '/%P|%s\n') > "$D/live.txt"
