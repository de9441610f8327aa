#!/usr/bin/env bash
# Makes a FAT32 image holding 20 pictures (drawn with ImageMagick: each its
# own colours, shapes and word, so its thumbnail is easy to tell apart), a
# camera raw file and 2 short videos (ffmpeg), some of them deleted, for the thumbnail views'
# screenshots or a demonstration run. No root needed (mkfs.vfat + mtools).
#   scripts/make-pictures-image.sh IMAGE [SIZE_MB]
set -euo pipefail
img=${1:?usage: make-pictures-image.sh IMAGE [SIZE_MB]}
size=${2:-64}
export PATH="$PATH:/usr/sbin:/sbin"
for tool in mkfs.vfat mmd mcopy mdel convert ffmpeg python3; do
  command -v "$tool" >/dev/null || {
    echo "make-pictures-image.sh: $tool is missing (scripts/setup.sh installs it)" >&2
    exit 1
  }
done
export MTOOLS_SKIP_CHECK=1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
font=DejaVu-Sans-Bold

# picture NAME WIDTHxHEIGHT BACKGROUND WORD WORD_COLOUR DRAW...: a background
# (a colour or an ImageMagick gradient/pattern), the shapes drawn in order
# ("fill COLOUR" switches colour), the word large in the lower half.
picture() {
  local name=$1 geometry=$2 background=$3 word=$4 ink=$5
  shift 5
  local draw=()
  while (($#)); do
    if [ "$1" = fill ]; then
      draw+=(-fill "$2")
      shift 2
    else
      draw+=(-draw "$1")
      shift
    fi
  done
  convert -size "$geometry" "$background" "${draw[@]}" -font "$font" -pointsize $((${geometry%x*} / 7)) -fill "$ink" \
    -stroke black -strokewidth 3 -gravity south -annotate +0+24 "$word" -quality 88 "$work/$name"
}

picture sunset.jpg 640x480 gradient:'#ff7e29'-'#5b2a86' SUNSET white \
  fill '#ffd23f' 'circle 320,300 320,200' fill '#1d1b3a' 'rectangle 0,360 640,480'
picture beach.jpg 640x480 gradient:'#7fd8ff'-'#f4e1a1' BEACH '#ff4f79' \
  fill '#1e6fd9' 'rectangle 0,200 640,290' fill '#ffe066' 'circle 540,80 540,30'
picture forest.jpg 640x480 gradient:'#a8e063'-'#2f5d1e' FOREST white \
  fill '#1b4d2b' 'polygon 80,380 160,120 240,380' 'polygon 240,380 330,80 420,380' 'polygon 420,380 500,140 580,380'
picture snow.jpg 640x480 gradient:'#e8f4ff'-'#9ec5e8' SNOW '#1d4e89' \
  fill white 'polygon 0,400 180,120 360,400' 'polygon 260,400 470,90 640,400' fill '#1d4e89' 'circle 100,80 100,50'
picture cat.jpg 640x480 xc:'#f6c28b' CAT '#3a2e39' \
  fill '#3a2e39' 'circle 320,210 320,90' 'polygon 220,140 240,40 290,110' 'polygon 420,140 400,40 350,110' \
  fill '#9be564' 'circle 280,190 280,170' 'circle 360,190 360,170'
picture dog.jpg 640x480 xc:'#c5e3f6' DOG '#6b3e26' \
  fill '#8b5a2b' 'roundrectangle 200,80 440,300 60,60' fill '#5a3a1e' 'ellipse 190,170 40,90 0,360' 'ellipse 450,170 40,90 0,360' \
  fill black 'circle 320,230 320,210'
picture apple.jpg 640x480 xc:'#fffbe6' APPLE '#c1121f' \
  fill '#d62828' 'circle 320,200 320,70' fill '#2d6a4f' 'ellipse 360,70 40,18 0,360'
picture lemon.png 480x480 xc:'#2b2d42' LEMON '#ffd60a' fill '#ffd60a' 'ellipse 240,190 150,100 0,360'
picture rose.jpg 640x480 gradient:'#ffd6e0'-'#ff5d8f' ROSE white \
  fill '#c9184a' 'circle 320,180 320,80' fill '#2d6a4f' 'rectangle 312,280 328,420'
picture night.jpg 640x480 gradient:'#03045e'-'#000000' NIGHT '#ffea00' \
  fill '#ffea00' 'circle 480,120 480,60' fill white 'point 100,60' 'circle 80,200 82,200' 'circle 200,90 202,90' 'circle 300,160 302,160'
picture city.jpg 640x480 gradient:'#ffb347'-'#ffcc33' CITY white \
  fill '#22223b' 'rectangle 40,140 140,480' 'rectangle 160,60 260,480' 'rectangle 280,180 360,480' 'rectangle 380,100 480,480' 'rectangle 500,200 600,480'
picture boat.jpg 640x480 gradient:'#caf0f8'-'#0077b6' BOAT white \
  fill '#9d0208' 'polygon 160,300 480,300 420,360 220,360' fill white 'polygon 320,80 320,290 440,290'
picture flag.png 640x400 xc:white FLAG '#003049' \
  fill '#d62828' 'rectangle 0,0 640,90' 'rectangle 0,180 640,270' fill '#003049' 'rectangle 0,0 240,180'
picture chess.jpg 480x480 pattern:checkerboard CHESS '#e63946'
picture target.jpg 480x480 xc:white TARGET black \
  fill '#e63946' 'circle 240,200 240,40' fill white 'circle 240,200 240,80' fill '#e63946' 'circle 240,200 240,120' fill white 'circle 240,200 240,160'
picture ocean.jpg 640x480 plasma:'#00b4d8'-'#03045e' OCEAN white
picture lava.jpg 640x480 plasma:'#ff4800'-'#6a040f' LAVA '#ffe066'
picture grass.gif 400x300 xc:'#55a630' GRASS white fill '#2b9348' 'rectangle 0,200 400,300' fill '#ffff3f' 'circle 330,60 330,30'
picture stripes.bmp 400x300 xc:'#8338ec' STRIPES white \
  fill '#ffbe0b' 'rectangle 0,0 400,40' 'rectangle 0,80 400,120' 'rectangle 0,160 400,200'
picture party.png 640x480 gradient:'#f72585'-'#4361ee' PARTY white \
  fill '#ffbe0b' 'circle 120,120 120,70' fill '#3a86ff' 'circle 320,90 320,40' fill '#06d6a0' 'circle 520,130 520,80'

# A camera raw file (DNG) laid out as cameras write it: the sensor data (a
# small blank block) first, the preview a viewer shows of it, a JPEG, in a
# sub-directory.
picture camera.jpg 320x240 gradient:'#ffd166'-'#ef476f' CAMERA white \
  fill '#073b4c' 'roundrectangle 90,40 230,130 12,12' fill '#118ab2' 'circle 160,85 160,55'
python3 - "$work/camera.jpg" "$work/img_0042.dng" <<'PY'
import struct, sys
preview = open(sys.argv[1], 'rb').read()
sensor = bytes(64 * 64 * 2)
# tag, type (1 byte, 2 text, 3 short, 4 long), values; names stand for offsets
main = [(254, 4, [0]), (256, 4, [64]), (257, 4, [64]), (258, 3, [16]), (259, 3, [1]), (262, 3, [32803]),
        (271, 2, b'Quarnel\0'), (272, 2, b'Test Cam\0'), (273, 4, ['sensor']), (277, 3, [1]), (278, 4, [64]),
        (279, 4, [len(sensor)]), (330, 4, ['sub']), (33421, 3, [2, 2]), (33422, 1, bytes([0, 1, 1, 2])),
        (50706, 1, bytes([1, 4, 0, 0])), (50708, 2, b'Quarnel Test Cam\0')]
sub = [(254, 4, [1]), (256, 4, [320]), (257, 4, [240]), (258, 3, [8, 8, 8]), (259, 3, [7]), (262, 3, [6]),
       (273, 4, ['preview']), (277, 3, [3]), (278, 4, [240]), (279, 4, [len(preview)])]
where = {'sub': 8 + 2 + 12 * len(main) + 4}
blob_at = where['sub'] + 2 + 12 * len(sub) + 4
blobs = bytearray()
def place(data):
    at = blob_at + len(blobs)
    blobs.extend(data)
    if len(blobs) % 2: blobs.append(0)
    return at
where['preview'], where['sensor'] = place(preview), place(sensor)
def directory(entries):
    out = struct.pack('<H', len(entries))
    for tag, kind, values in entries:
        data = values if isinstance(values, bytes) else b''.join(
            struct.pack('<H' if kind == 3 else '<I', where[v] if isinstance(v, str) else v) for v in values)
        value = data.ljust(4, b'\0') if len(data) <= 4 else struct.pack('<I', place(data))
        out += struct.pack('<HHI', tag, kind, len(data) // {3: 2, 4: 4}.get(kind, 1)) + value
    return out + struct.pack('<I', 0)
head = b'II*\0' + struct.pack('<I', 8) + directory(main) + directory(sub)
open(sys.argv[2], 'wb').write(head + bytes(blobs))
PY
rm "$work/camera.jpg"

# Two short videos: a test card with a running clock, and a fractal.
ffmpeg -loglevel error -y -f lavfi -i testsrc2=size=320x240:rate=15 -t 3 -pix_fmt yuv420p \
  -c:v libx264 -preset veryfast -movflags +faststart "$work/clip.mp4" 2>/dev/null ||
  ffmpeg -loglevel error -y -f lavfi -i testsrc2=size=320x240:rate=15 -t 3 -c:v mpeg4 -q:v 5 "$work/clip.mp4"
ffmpeg -loglevel error -y -f lavfi -i mandelbrot=size=320x240:rate=15 -t 3 -c:v mjpeg -q:v 5 "$work/fractal.avi"

touch -d '2025-07-14 18:30:00' "$work"/*

rm -f "$img"
truncate -s "${size}M" "$img"
mkfs.vfat -F 32 -n PICTURES "$img" >/dev/null
mmd -i "$img" ::/Holiday ::/Home ::/Art ::/Videos
mcopy -m -i "$img" "$work"/{sunset,beach,forest,snow,boat,ocean,night,city}.jpg "$work/img_0042.dng" ::/Holiday/
mcopy -m -i "$img" "$work"/{cat,dog,apple,rose}.jpg "$work"/{lemon,party}.png "$work/grass.gif" ::/Home/
mcopy -m -i "$img" "$work"/{chess,target,lava}.jpg "$work/flag.png" "$work/stripes.bmp" ::/Art/
mcopy -m -i "$img" "$work/clip.mp4" "$work/fractal.avi" ::/Videos/

# Deleted: pictures in two folders and one video; their data stays.
mdel -i "$img" ::/Holiday/beach.jpg ::/Holiday/night.jpg ::/Home/cat.jpg ::/Home/party.png ::/Videos/fractal.avi
echo "$img"
