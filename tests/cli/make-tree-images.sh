#!/bin/bash
# Makes the images whose scan results tests/cli/TreeDumpTest.cpp compares
# with the dumps stored in tests/cli/trees/: every byte of content comes
# from a seeded generator, so the same tools give the same images.
#   make-tree-images.sh DIR fat|fat16|exfat|ntfs
# fat (FAT32) and fat16 need mkfs.vfat and mtools; exfat and ntfs need root and /dev/fuse.
set -euo pipefail
export TZ=UTC MTOOLS_SKIP_CHECK=1
mkdir -p "$1"; D=$(cd "$1" && pwd); KIND=$2; S=$D/src-$KIND; M=$D/mnt-$KIND; I=$D/$KIND.img
rm -rf "$S" "$M" "$I"; mkdir -p "$S/Docs/Deep" "$S/Pics" "$S/Misc" "$M"
python3 - "$S" <<'PY'
import os, random, struct, sys, zlib, gzip, io, zipfile
s = sys.argv[1]; r = random.Random(20)
def put(p, b): open(os.path.join(s, p), 'wb').write(b)
def text(n, seed): return ''.join('line %05d of %d: numbers and words\n' % (i, seed) for i in range(n // 36 + 1))[:n].encode()
def jpeg(n):
    body = bytes(r.getrandbits(8) & 0xFE for _ in range(n))
    return b'\xff\xd8\xff\xe0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00' + body + b'\xff\xd9'
def png(w):
    raw = b''.join(b'\x00' + bytes((x * 3 + y) & 255 for x in range(w * 3)) for y in range(w))
    chunk = lambda t, d: struct.pack('>I', len(d)) + t + d + struct.pack('>I', zlib.crc32(t + d) & 0xffffffff)
    return b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, w, 8, 2, 0, 0, 0)) + \
        chunk(b'IDAT', zlib.compress(raw)) + chunk(b'IEND', b'')
def gz(n, seed):
    out = io.BytesIO()
    with gzip.GzipFile(fileobj=out, mode='wb', mtime=1600000000) as g: g.write(text(n, seed))
    return out.getvalue()
def zipped(n):
    out = io.BytesIO()
    with zipfile.ZipFile(out, 'w', zipfile.ZIP_DEFLATED) as z:
        z.writestr(zipfile.ZipInfo('inner.txt', (2020, 1, 2, 3, 4, 6)), text(n, 9))
    return out.getvalue()
pdf = b'%PDF-1.4\n1 0 obj<<>>endobj\n' + text(3000, 4) + b'\ntrailer<<>>\n%%EOF\n'
put('Docs/minutes.txt', text(1500, 1)); put('Docs/report.pdf', pdf); put('Docs/Deep/deep.txt', text(9000, 2))
put('Docs/Deep/archive.zip', zipped(20000)); put('Docs/log.gz', gz(60000, 3))
put('Pics/holiday.jpg', jpeg(40000)); put('Pics/chart.png', png(64)); put('Pics/scan.jpg', jpeg(9000))
put('Misc/empty.txt', b''); put('Misc/A rather long file name for a test.txt', text(777, 5))
for i in range(40): put('Misc/item %02d.dat' % i, text(200 + i * 91, 10 + i))
# Enough files for the tree to be built in several batches during the scan.
os.makedirs(os.path.join(s, 'Bulk/Gone'))
for i in range(1600): put('Bulk/b%04d.txt' % i, text(60 + i % 300, i))
for i in range(40): put('Bulk/Gone/g%02d.txt' % i, text(100 + i, i))
PY
touch -d '2022-05-06 07:08:10' "$S"/*/* "$S"/Docs/Deep/* "$S"/Bulk/Gone/*
BULKDEL=$(cd "$S" && ls Bulk/b*.txt | sort | awk 'NR % 7 == 0')
# Files deleted afterwards, and a deleted folder.
DEL=("Pics/holiday.jpg" "Docs/report.pdf" "Docs/log.gz" "Misc/item 03.dat" "Misc/item 17.dat" "Misc/empty.txt")
case $KIND in
fat|fat16)
  truncate -s 48M "$I"
  mkfs.vfat -F "$([ "$KIND" = fat ] && echo 32 || echo 16)" -i 1234ABCD --invariant -n TREES "$I" >/dev/null
  mmd -i "$I" ::/Docs ::/Docs/Deep ::/Pics ::/Misc ::/Bulk ::/Bulk/Gone
  (cd "$S" && find . -type f ! -path './Bulk/*' | sort) | while read -r f; do mcopy -m -i "$I" "$S/$f" "::/${f#./}"; done
  (cd "$S" && ls Bulk/b*.txt | sort | xargs sh -c 'mcopy -m -i "$0" "$@" ::/Bulk/' "$I")
  (cd "$S" && ls Bulk/Gone/* | sort) | while read -r f; do mcopy -m -i "$I" "$S/$f" "::/$f"; done
  for f in "${DEL[@]}"; do mdel -i "$I" "::/$f"; done
  mdel -i "$I" $(for f in $BULKDEL; do echo "::/$f"; done)
  mdeltree -i "$I" ::/Docs/Deep ::/Bulk/Gone
  ;;
exfat|ntfs)
  truncate -s 48M "$I"
  if [ "$KIND" = exfat ]; then
    mkfs.exfat -L TREES -c 4K "$I" >/dev/null
    LOOP=$(losetup -f --show "$I")
    trap 'mountpoint -q "$M" && umount "$M"; losetup -d "$LOOP"' EXIT
    mount.exfat-fuse "$LOOP" "$M" >/dev/null 2>&1
  else
    mkntfs -F -Q -q -L TREES -c 4096 -s 512 "$I" >/dev/null 2>&1
    ntfs-3g "$I" "$M"
    trap 'umount "$M" 2>/dev/null || fusermount -u "$M" 2>/dev/null' EXIT
  fi
  mkdir -p "$M/Docs/Deep" "$M/Pics" "$M/Misc" "$M/Bulk/Gone"
  (cd "$S" && find . -type f ! -path './Bulk/*' | sort) | while read -r f; do cp -p "$S/$f" "$M/$f"; sync; done
  (cd "$S" && find Bulk -type f | sort) | while read -r f; do cp -p "$S/$f" "$M/$f"; done
  sync
  for f in "${DEL[@]}"; do rm "$M/$f"; done
  for f in $BULKDEL; do rm "$M/$f"; done
  rm -r "$M/Docs/Deep" "$M/Bulk/Gone"
  sync
  ;;
*) echo "unknown kind $KIND" >&2; exit 2 ;;
esac
echo "$I"
