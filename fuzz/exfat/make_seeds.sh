#!/bin/bash
# Writes seed inputs into DIR: the used start of a 1 MiB exFAT volume with
# folders, long names and deleted files (root, loop device and exfat-fuse).
set -euo pipefail
D=$1; mkdir -p "$D"; W=$(mktemp -d); M=$W/mnt; mkdir -p "$M"
I=$W/tiny.img
truncate -s 1M "$I"; mkfs.exfat -c 512 -b 4096 -L SEED "$I" >/dev/null
LOOP=$(losetup -f --show "$I")
cleanup() { mountpoint -q "$M" && umount "$M"; losetup -d "$LOOP"; rm -rf "$W"; }
trap cleanup EXIT
mount.exfat-fuse "$LOOP" "$M" >/dev/null 2>&1
mkdir -p "$M/A/B" "$M/Gelöscht"
for i in 1 2 3 4 5 6; do head -c $((i * 700)) /dev/urandom > "$M/A/file number $i with a long name.bin"; done
head -c 3000 /dev/urandom > "$M/A/B/deep.txt"; head -c 100 /dev/urandom > "$M/Gelöscht/x"
sync; rm "$M/A/file number 2 with a long name.bin" "$M/A/file number 5 with a long name.bin"; rm -r "$M/Gelöscht"
sync; umount "$M"
head -c 65536 "$I" > "$D/volume-start.bin"
# the root folder's cluster on its own, for the decoders
python3 - "$I" "$D/root-cluster.bin" <<'PY'
import struct, sys
d = open(sys.argv[1], 'rb').read()
heap, count, root = struct.unpack('<III', d[88:100]); spc = 1 << d[109]
at = (heap + (root - 2) * spc) * 512
open(sys.argv[2], 'wb').write(d[at:at + 512 * spc * 4])
PY
