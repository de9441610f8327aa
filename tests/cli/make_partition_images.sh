#!/bin/bash
# Makes copies of single partitions as `dd if=/dev/sdX1` would save them, in
# DIR: fat16.img, fat32.img (mtools), exfat.img (exfat-fuse), ntfs.img
# (ntfs-3g), each with a label and deleted files; and disk.img, an MBR disk
# with one FAT16 partition at sector 2048. Bytes 446-509 of every boot sector
# are then filled with boot-message text, as Windows keeps there. FUSE images
# are made only when WITH_FUSE=1 (root, /dev/fuse).
set -euo pipefail
export TZ=UTC
D=$1
mkdir -p "$D/src" "$D/mnt"
python3 - "$D/src" <<'PY'
import os, random, sys
s = sys.argv[1]; r = random.Random(13)
for i, n in enumerate([1500, 9000, 70000, 3000, 20000, 512, 4096, 33333]):
    open(os.path.join(s, 'Document number %d.txt' % i), 'wb').write(r.randbytes(n))
PY
touch -d "2022-05-06 07:08:10" "$D"/src/*

# Boot-message text over bytes 446-509 of the sector at byte OFFSET. Style
# "text": the messages run through the four entry slots. Style "nul": each
# slot starts with a NUL, so every slot's boot flag reads as valid.
boot_text() {
  python3 - "$1" "$2" "$3" <<'PY'
import sys
path, offset, style = sys.argv[1], int(sys.argv[2]), sys.argv[3]
msg = b"\r\nCannot load the operating system.\xff\r\nDisk read failure\xff\r\nStrike a key to try again\r\n"
if style == "text":
    body = msg[:64]
else:
    body = b"".join(b"\0" + msg[i * 15:(i + 1) * 15] for i in range(4))
assert len(body) == 64
with open(path, "r+b") as f:
    f.seek(offset + 510)
    assert f.read(2) == b"\x55\xaa"
    f.seek(offset + 446)
    f.write(body)
PY
}

fill_fat() {  # image[@@offset]
  local I=$1
  mmd -i "$I" ::/Reports ::/Reports/Old
  for f in "$D"/src/*; do mcopy -m -i "$I" "$f" ::/; done
  mcopy -m -i "$I" "$D/src/Document number 2.txt" "$D/src/Document number 3.txt" ::/Reports/
  mcopy -m -i "$I" "$D/src/Document number 5.txt" ::/Reports/Old/
  mdel -i "$I" "::/Document number 1.txt" "::/Document number 4.txt" "::/Document number 6.txt"
  mdel -i "$I" "::/Reports/Document number 3.txt" "::/Reports/Old/Document number 5.txt"
}

rm -f "$D"/*.img
truncate -s 48M "$D/fat16.img"
mkfs.vfat -F 16 -n WINFAT16 "$D/fat16.img" >/dev/null
fill_fat "$D/fat16.img"
boot_text "$D/fat16.img" 0 text

truncate -s 64M "$D/fat32.img"
mkfs.vfat -F 32 -n WINFAT32 "$D/fat32.img" >/dev/null
fill_fat "$D/fat32.img"
boot_text "$D/fat32.img" 0 nul

truncate -s 64M "$D/disk.img"
echo 'start=2048, type=6' | sfdisk -q "$D/disk.img" >/dev/null
mkfs.vfat -F 16 -n INSIDE --offset 2048 "$D/disk.img" >/dev/null
fill_fat "$D/disk.img@@1M"
boot_text "$D/disk.img" $((2048 * 512)) text

if [ "${WITH_FUSE:-0}" = 1 ]; then
  M=$D/mnt
  fill_mounted() {
    mkdir -p "$M/Reports/Old"
    cp -p "$D"/src/* "$M/"
    cp -p "$D/src/Document number 2.txt" "$D/src/Document number 3.txt" "$M/Reports/"
    cp -p "$D/src/Document number 5.txt" "$M/Reports/Old/"
    sync
    rm "$M/Document number 1.txt" "$M/Document number 4.txt" "$M/Document number 6.txt"
    rm "$M/Reports/Document number 3.txt" "$M/Reports/Old/Document number 5.txt"
    sync
  }
  truncate -s 32M "$D/exfat.img"
  mkfs.exfat -L WINEXFAT "$D/exfat.img" >/dev/null
  LOOP=$(losetup -f --show "$D/exfat.img")
  mount.exfat-fuse "$LOOP" "$M" >/dev/null 2>&1 || { losetup -d "$LOOP"; exit 1; }
  fill_mounted
  umount "$M"; losetup -d "$LOOP"
  boot_text "$D/exfat.img" 0 text

  truncate -s 32M "$D/ntfs.img"
  mkntfs -F -q -f -L WINNTFS "$D/ntfs.img" >/dev/null 2>&1
  ntfs-3g "$D/ntfs.img" "$M"
  fill_mounted
  umount "$M"
  boot_text "$D/ntfs.img" 0 text
fi
rmdir "$M" 2>/dev/null || true
