#!/bin/bash
# Makes the image for quarnel_results_window_bench: a sparse disk image of
# SIZE (default 2G) holding one NTFS volume (mkntfs, 4 KiB clusters) with
# FILES (default 100000) small files in folders of PER_FOLDER (default
# 10000), written through ntfs-3g; then every EVERY-th file (default 1:
# all of them, so that a quick scan lists them all) is deleted. Needs root
# and /dev/fuse.
#   make-results-bench-image.sh IMAGE [FILES] [PER_FOLDER] [SIZE] [EVERY]
set -euo pipefail
I=$1; N=${2:-100000}; PER=${3:-10000}; SIZE=${4:-2G}; EVERY=${5:-1}
export PATH="$PATH:/usr/sbin:/sbin"
M=$(mktemp -d)
trap 'umount "$M" 2>/dev/null || fusermount -u "$M" 2>/dev/null; rmdir "$M"' EXIT
rm -f "$I"
truncate -s "$SIZE" "$I"
mkntfs -F -Q -q -L RESULTS -c 4096 -s 512 "$I" >/dev/null 2>&1
ntfs-3g -o big_writes "$I" "$M"
python3 - "$M" "$N" "$PER" "$EVERY" <<'PY'
import os, sys
from concurrent.futures import ThreadPoolExecutor
root, n, per, every = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
def fill(d):
    folder = os.path.join(root, "folder%02d" % d)
    os.mkdir(folder)
    for i in range(d * per, min(n, (d + 1) * per)):
        size = 100 + (i % 7) * 40
        with open(os.path.join(folder, "photo %06d.txt" % i), "wb") as f:
            f.write(bytes((i + k) & 255 for k in range(size)))
def prune(d):
    folder = os.path.join(root, "folder%02d" % d)
    for i in range(d * per, min(n, (d + 1) * per), every):
        os.unlink(os.path.join(folder, "photo %06d.txt" % i))
folders = range((n + per - 1) // per)
with ThreadPoolExecutor(8) as pool:
    list(pool.map(fill, folders))
with ThreadPoolExecutor(8) as pool:
    list(pool.map(prune, folders))
PY
sync
