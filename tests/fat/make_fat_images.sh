#!/bin/bash
# Makes the FAT test images in $1: fat16.img, fat32.img (with live, deleted
# and fragmented files, long and non-ASCII names, a multi-cluster folder and
# a folder deleted whole), fat12.img, disk_lost.img (both volumes behind an
# MBR, then the MBR and the FAT32 boot sector wiped) and reformat.img (the
# FAT32 volume formatted again as FAT16). Sources go to $1/src.
set -euo pipefail
OUT=$1
cd "$OUT"
export MTOOLS_SKIP_CHECK=1 TZ=UTC
mkdir -p src/BIGDIR
python3 - <<'PY'
import random
random.seed(7)
def rnd(n): return bytes(random.getrandbits(8) for _ in range(n))
w = lambda p, b: open('src/' + p, 'wb').write(b)
w('note.txt', b'This is note.txt line\n' * 50)
w('Long File Name Report.txt', b'Quarterly report text\n' * 200)
w('photo1.jpg', b'\xff\xd8\xff\xe0\x00\x10JFIF\x00' + rnd(20000) + b'\xff\xd9')
w('doc.pdf', b'%PDF-1.4\n' + rnd(30000) + b'\n%%EOF\n')
w('big.bin', b'BIGF' + rnd(3 * 1024 * 1024 + 123))
w('a_small.bin', b'AAAA' + rnd(6000))
w('b_keep.bin', b'BBBB' + rnd(6000))
w('c_frag.bin', b'CCCC' + rnd(40000))
w('empty.txt', b'')
w('sub_a.txt', b'sub a\n' * 100)
w('sub_b.jpg', b'\xff\xd8\xff\xe1' + rnd(9000))
w('R\xc3\xa9sum\xc3\xa9 \xe2\x82\xac.txt'.encode('latin-1').decode('utf-8'), b'resume ' * 300)
for i in range(40):
    w('BIGDIR/A rather long file name number %03d.txt' % i, (b'file %03d\n' % i) * (20 + i))
PY
touch -d "2021-03-04 05:06:08" src/* src/BIGDIR/*

fill() {  # image, fragment (FAT32 only)
  local I=$1
  mmd -i $I ::/DOCS ::/DOCS/SUB ::/PICS "::/Long Folder Name"
  mcopy -m -i $I src/note.txt src/doc.pdf "src/Long File Name Report.txt" src/Résumé\ €.txt ::/DOCS/
  mcopy -m -i $I src/sub_a.txt src/sub_b.jpg ::/DOCS/SUB/
  mcopy -m -i $I src/photo1.jpg ::/PICS/
  mcopy -m -i $I src/big.bin src/empty.txt "::/Long Folder Name/"
  mcopy -m -i $I src/a_small.bin src/b_keep.bin ::/
  mdel -i $I ::/a_small.bin
  if [ "$2" = 1 ]; then
    # next-free hint back to cluster 2: c_frag.bin fills a_small's hole, then continues after b_keep
    printf '\x02\x00\x00\x00' | dd of=$I bs=1 seek=$((512 + 0x1EC)) conv=notrunc status=none
  fi
  mcopy -m -i $I src/c_frag.bin ::/
  mcopy -m -i $I -s src/BIGDIR ::/
  mdel -i $I '::/BIGDIR/A rather long file name number 01*.txt' '::/BIGDIR/A rather long file name number 03*.txt'
  mdel -i $I ::/DOCS/note.txt "::/DOCS/Long File Name Report.txt" "::/DOCS/Résumé €.txt" ::/c_frag.bin \
    "::/Long Folder Name/big.bin" "::/Long Folder Name/empty.txt"
  mdeltree -i $I ::/PICS ::/DOCS/SUB
}

rm -f fat16.img fat32.img fat12.img disk_lost.img reformat.img
truncate -s 32M fat16.img
mkfs.vfat -F 16 -s 4 -S 512 -n FAT16FX fat16.img >/dev/null
fill fat16.img 0
truncate -s 64M fat32.img
mkfs.vfat -F 32 -s 1 -S 512 -n FAT32FX fat32.img >/dev/null
fill fat32.img 1
truncate -s 4M fat12.img
mkfs.vfat -F 12 -n FAT12FX fat12.img >/dev/null
mcopy -m -i fat12.img src/note.txt ::/
mdel -i fat12.img ::/note.txt

# FAT32 at 2048, FAT16 at 133120 (MBR wiped, FAT32 boot sector wiped: its backup remains)
truncate -s 100M disk_lost.img
printf 'label: dos\n2048,131072,c\n133120,65536,6\n' | sfdisk -q disk_lost.img
dd if=fat32.img of=disk_lost.img bs=512 seek=2048 conv=notrunc,sparse status=none
dd if=fat16.img of=disk_lost.img bs=512 seek=133120 conv=notrunc,sparse status=none
dd if=/dev/zero of=disk_lost.img bs=512 count=1 conv=notrunc status=none
dd if=/dev/zero of=disk_lost.img bs=512 count=1 seek=2048 conv=notrunc status=none

cp --sparse=always fat32.img reformat.img
mkfs.vfat -F 16 -n REFORMAT reformat.img >/dev/null
