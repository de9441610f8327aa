#!/usr/bin/env bash
# Makes a small FAT16 image with a few files, some of them deleted, for a
# demonstration run or a test. No root needed (mkfs.vfat + mtools).
#   scripts/make-demo-image.sh IMAGE [SIZE_MB]
set -euo pipefail
img=${1:?usage: make-demo-image.sh IMAGE [SIZE_MB]}
size=${2:-32}
# mkfs.vfat lives in /usr/sbin, which a normal user's PATH often lacks.
export PATH="$PATH:/usr/sbin:/sbin"
for tool in mkfs.vfat mmd mcopy mdel; do
  command -v "$tool" >/dev/null || { echo "make-demo-image.sh: $tool is missing (apt-get install dosfstools mtools)" >&2; exit 1; }
done
export MTOOLS_SKIP_CHECK=1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

rm -f "$img"
truncate -s "${size}M" "$img"
mkfs.vfat -F 16 -n QUARNELDEMO "$img" >/dev/null

# Contents with known bytes; even seconds, as FAT keeps 2-second steps.
printf 'Minutes of the meeting of 8 March 2024.\n' > "$work/minutes.txt"
head -c 70000 /dev/urandom > "$work/holiday.jpg"
printf 'name,amount\nrent,700\nfood,250\n' > "$work/budget.csv"
head -c 20000 /dev/urandom > "$work/song.mp3"
printf 'Draft letter, never sent.\n' > "$work/letter.txt"
printf 'An old report.\n' > "$work/report.doc"
touch -d '2024-03-08 10:00:02' "$work"/*

mmd -i "$img" ::/Documents ::/Photos ::/Music ::/Old
mcopy -m -i "$img" "$work/minutes.txt" "$work/budget.csv" ::/Documents/
mcopy -m -i "$img" "$work/holiday.jpg" ::/Photos/
mcopy -m -i "$img" "$work/song.mp3" ::/Music/
mcopy -m -i "$img" "$work/letter.txt" "$work/report.doc" ::/Old/

# Deleted: one file in a kept folder, and a file of a folder kept empty.
mdel -i "$img" ::/Photos/holiday.jpg
mdel -i "$img" ::/Old/letter.txt
echo "$img"
