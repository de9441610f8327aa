#!/bin/bash
# Makes the images of run-speed.sh in DIR (about 6 GB of disk; needs root,
# /dev/fuse, mkfs.ext4, mkfs.vfat, mtools, mkfs.exfat, exfat-fuse, mkntfs, ntfs-3g):
#   random.img    1 GiB of random bytes (put DIR on /dev/shm for the "in RAM" case)
#   real.img      2 GiB ext4 holding /usr/lib/x86_64-linux-gnu (real files)
#   small.img     9 MiB FAT16 with a few files
#   fat50k.img    FAT32 with 50,000 files, every tenth deleted
#   exfat50k.img  exFAT with 50,000 files, every tenth deleted
#   ntfs20k.img   NTFS with 20,000 files, every tenth deleted
#   ntfs100k.img  NTFS with 100,000 files, every tenth deleted (make-ntfs-bench-image.sh)
#   ntfs300k.img  NTFS with 300,000 files (only when named)
#   ntfs1m.img    NTFS with 1,000,000 files (only with BIG=1; takes long)
#   make-bench-images.sh DIR [name...]
set -euo pipefail
D=$(mkdir -p "$1" && cd "$1" && pwd); shift
HERE=$(cd "$(dirname "$0")" && pwd)
WANT=${*:-random real small fat50k exfat50k ntfs100k}
[ "${BIG:-0}" = 1 ] && WANT="$WANT ntfs1m"
export MTOOLS_SKIP_CHECK=1

# N small files in folders of 250 under $1 (mtools slows down a lot in
# larger folders); prints nothing.
fill() {
  python3 - "$1" "$2" <<'PY'
import os, sys
root, n = sys.argv[1], int(sys.argv[2])
for i in range(n):
    d = os.path.join(root, "dir%03d" % (i // 250))
    os.makedirs(d, exist_ok=True)
    size = 200 + (i % 7) * 300 if i % 50 else 20000 + i % 4096
    with open(os.path.join(d, "file number %05d.txt" % i), "wb") as f:
        f.write(bytes((i + k) & 255 for k in range(size)))
PY
}

for name in $WANT; do
  case $name in
  random) head -c 1G /dev/urandom > "$D/random.img" ;;
  real)
    # A file system the searchers do not know, so every searcher sweeps
    # plain file contents (a tar stream instead would be one huge archive
    # to the carving).
    rm -f "$D/real.img"; truncate -s 2G "$D/real.img"
    mkfs.ext4 -q -F -d /usr/lib/x86_64-linux-gnu "$D/real.img" ;;
  small) "$HERE/../../scripts/make-demo-image.sh" "$D/small.img" 9 >/dev/null ;;
  fat50k)
    S=$(mktemp -d -p "$D"); fill "$S" 50000
    rm -f "$D/fat50k.img"; truncate -s 2G "$D/fat50k.img"
    mkfs.vfat -F 32 "$D/fat50k.img" >/dev/null
    mcopy -s -i "$D/fat50k.img" "$S"/* ::/
    (cd "$S" && find . -name '*.txt' | sort | awk 'NR % 10 == 0' | sed 's|^\./|::/|' |
       xargs -d '\n' mdel -i "$D/fat50k.img")
    rm -rf "$S" ;;
  exfat50k)
    S=$(mktemp -d -p "$D"); fill "$S" 50000; M=$(mktemp -d -p "$D")
    rm -f "$D/exfat50k.img"; truncate -s 2G "$D/exfat50k.img"
    mkfs.exfat "$D/exfat50k.img" >/dev/null
    L=$(losetup -f --show "$D/exfat50k.img")
    mount.exfat-fuse "$L" "$M" >/dev/null 2>&1
    cp -r "$S"/* "$M"/; sync
    (cd "$M" && find . -name '*.txt' | sort | awk 'NR % 10 == 0' | xargs -d '\n' rm)
    sync; umount "$M"; losetup -d "$L"; rm -rf "$S" "$M" ;;
  ntfs20k) "$HERE/../ntfs/make-ntfs-bench-image.sh" "$D/ntfs20k.img" 20000 1G ;;
  ntfs100k) "$HERE/../ntfs/make-ntfs-bench-image.sh" "$D/ntfs100k.img" 100000 4G ;;
  ntfs300k) "$HERE/../ntfs/make-ntfs-bench-image.sh" "$D/ntfs300k.img" 300000 8G ;;
  ntfs1m) "$HERE/../ntfs/make-ntfs-bench-image.sh" "$D/ntfs1m.img" 1000000 16G ;;
  *) echo "unknown image $name" >&2; exit 2 ;;
  esac
  echo "made $D/$name.img"
done
