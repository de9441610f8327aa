#!/bin/bash
# Makes the image for quarnel_ntfs_scan_bench: a sparse disk image of SIZE
# (default 4G) holding one NTFS volume (mkntfs, 4 KiB clusters) with FILES
# (default 100000) small files in folders of 1000, written through ntfs-3g;
# every tenth file is deleted afterwards. Needs root and /dev/fuse.
#   make-ntfs-bench-image.sh IMAGE [FILES] [SIZE]
set -euo pipefail
I=$1; N=${2:-100000}; SIZE=${3:-4G}
M=$(mktemp -d)
trap 'umount "$M" 2>/dev/null || fusermount -u "$M" 2>/dev/null; rmdir "$M"' EXIT
rm -f "$I"
truncate -s "$SIZE" "$I"
mkntfs -F -Q -q -L BENCH -c 4096 -s 512 "$I" >/dev/null 2>&1
ntfs-3g -o big_writes "$I" "$M"
python3 - "$M" "$N" <<'PY'
import os, sys
from concurrent.futures import ThreadPoolExecutor
root, n = sys.argv[1], int(sys.argv[2])
per = 1000
def fill(d):
    folder = os.path.join(root, "dir%04d" % d)
    os.mkdir(folder)
    for i in range(d * per, min(n, (d + 1) * per)):
        # Mostly resident files; every 50th one is a few clusters long.
        size = 200 + (i % 7) * 50 if i % 50 else 12000 + i % 4096
        with open(os.path.join(folder, "file number %06d.txt" % i), "wb") as f:
            f.write(bytes((i + k) & 255 for k in range(size)))
def prune(d):
    folder = os.path.join(root, "dir%04d" % d)
    for i in range(d * per, min(n, (d + 1) * per), 10):
        os.unlink(os.path.join(folder, "file number %06d.txt" % i))
folders = range((n + per - 1) // per)
with ThreadPoolExecutor(8) as pool:
    list(pool.map(fill, folders))
# Deleted only once everything is written, so no record is reused.
with ThreadPoolExecutor(8) as pool:
    list(pool.map(prune, folders))
PY
sync
