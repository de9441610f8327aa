#!/bin/sh
# Makes the real sample files (a different set for each SEED) of the carving benchmark in DIR with Debian's
# tools. Every generator is seeded or fixed, so a rerun gives the same bytes
# where the tool allows it. A tool that is missing only skips its files.
# Needs (Debian): imagemagick libimage-exiftool-perl ffmpeg sox zip gzip tar
# p7zip-full bzip2 sqlite3 ghostscript python3, optionally libreoffice-*-nogui.
set -u
DIR=${1:?usage: make_files.sh DIR [SEED]}
S=${2:-0}
HERE=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$DIR" && cd "$DIR" || exit 1
export SOURCE_DATE_EPOCH=1262304000 TZ=UTC
have() { command -v "$1" >/dev/null 2>&1; }
IM=convert
[ -x /usr/bin/convert ] && IM=/usr/bin/convert
have "$IM" || IM=

# Pictures ---------------------------------------------------------------
if [ -n "$IM" ]; then
  i=0
  for geo in 8x8 64x48 320x240 640x480 1024x768 1600x1200 800x600 333x211; do
    i=$((i + 1))
    $IM -seed $((i + 100 * S)) -size $geo plasma:fractal -quality 85 "pic$i.jpg"
  done
  $IM -seed $((21 + 100 * S)) -size 900x700 plasma:fractal -interlace Plane -quality 80 prog1.jpg
  $IM -seed $((22 + 100 * S)) -size 400x300 plasma:fractal -colorspace Gray -quality 90 gray1.jpg
  # Camera pictures: make, model, date, a thumbnail in the Exif segment.
  for k in 1 2 3 4; do
    $IM -seed $((30 + k + 100 * S)) -size 1200x900 plasma:fractal -quality 88 "cam$k.jpg"
  done
  $IM -seed $((40 + 100 * S)) -size 160x120 plasma:fractal -quality 70 thumb.jpg
  if have exiftool; then
    exiftool -q -overwrite_original -Make=NIKON -Model='D70' -DateTimeOriginal='2004:05:06 12:34:56' \
      -CreateDate='2004:05:06 12:34:56' "-ThumbnailImage<=thumb.jpg" cam1.jpg
    exiftool -q -overwrite_original -Make=Canon -Model='Canon EOS 5D' -DateTimeOriginal='2011:02:03 04:05:06' \
      "-ThumbnailImage<=thumb.jpg" cam2.jpg
    exiftool -q -overwrite_original -Make=FUJIFILM -Model='X100' -DateTimeOriginal='2019:07:08 09:10:11' cam3.jpg
    exiftool -q -overwrite_original -Make=Apple -Model='iPhone 12' -DateTimeOriginal='2021:12:24 18:00:00' \
      "-ThumbnailImage<=thumb.jpg" cam4.jpg
    # A picture that carries a full JPEG (with its own end marker) inside its Exif data.
    exiftool -q -overwrite_original -Make=SONY -Model='DSC-RX100' -DateTimeOriginal='2015:01:02 03:04:05' \
      "-ThumbnailImage<=pic3.jpg" pic4.jpg
  fi
  rm -f thumb.jpg
  $IM -seed $((50 + 100 * S)) -size 300x200 plasma:fractal a.png
  $IM -seed $((51 + 100 * S)) -size 64x64 plasma:fractal b.png
  $IM -seed $((52 + 100 * S)) -size 101x40 plasma:fractal a.gif
  $IM -seed $((53 + 100 * S)) -size 200x150 plasma:fractal -colors 64 b.gif
  $IM -seed $((54 + 100 * S)) -size 8x8 xc:red c.gif
  $IM -seed $((55 + 100 * S)) -delay 5 -size 120x90 plasma:fractal plasma:fractal plasma:fractal -loop 0 anim.gif
  $IM -seed $((56 + 100 * S)) -size 320x240 plasma:fractal -compress none a.tif
  $IM -seed $((57 + 100 * S)) -size 200x200 plasma:fractal -compress lzw b.tif
  $IM -seed $((58 + 100 * S)) -size 150x100 plasma:fractal BMP3:a.bmp
  $IM -seed $((59 + 100 * S)) -size 333x77 plasma:fractal b.bmp
  $IM -seed $((60 + 100 * S)) -size 32x32 plasma:fractal a.ico
  $IM -seed $((61 + 100 * S)) -size 64x64 plasma:fractal -define icon:auto-resize=64,32,16 b.ico
  $IM -seed $((62 + 100 * S)) -size 200x120 plasma:fractal a.psd
fi

# Sound and video ---------------------------------------------------------
if have ffmpeg; then
  F="ffmpeg -nostdin -loglevel error -y"
  V="-f lavfi -i testsrc=d=$((2 + S)):s=320x240:r=15"
  A="-f lavfi -i sine=f=$((440 + 7 * S)):d=3"
  $F $A -c:a libmp3lame -b:a 128k -id3v2_version 3 -metadata artist='The Testers' -metadata title='First Song' \
    -metadata date=2009 -bitexact a.mp3
  $F -f lavfi -i sine=f=$((660 + 7 * S)):d=5 -c:a libmp3lame -b:a 96k -id3v2_version 4 -metadata artist='Nina Sample' \
    -metadata title='Second Song' -bitexact b.mp3
  $F -f lavfi -i sine=f=$((550 + 7 * S)):d=4 -c:a libmp3lame -b:a 64k -write_id3v1 1 -id3v2_version 3 \
    -metadata artist='Quiet Band' -metadata title='Third' -bitexact c.mp3
  $F $V $A -shortest -c:v libx264 -preset ultrafast -c:a aac -bitexact -map_metadata -1 a.mp4
  $F $V -c:v libx264 -preset ultrafast -bitexact -map_metadata -1 -f mov a.mov
  $F $V $A -shortest -c:v libx264 -preset ultrafast -c:a aac -bitexact a.mkv
  $F $V $A -shortest -c:v mpeg4 -c:a libvorbis -bitexact b.mkv
  $F $V $A -shortest -c:v flv -c:a mp3 -bitexact a.flv
  $F $A -c:a libvorbis -bitexact a.ogg
  $F $V $A -shortest -c:v wmv2 -c:a wmav2 -bitexact a.wmv
  $F $A -c:a wmav2 -bitexact a.wma
  $F $V $A -shortest -c:v mpeg2video -c:a mp2 -bitexact -f mpeg a.mpg
  $F $V $A -shortest -c:v mpeg4 -c:a pcm_s16le -bitexact a.avi
  $F $A -c:a aac -bitexact a.m4a
  $F $V $A -shortest -c:v mpeg2video -c:a mp2 -bitexact -f mpegts a.ts
  $F $A -c:a pcm_s16le -bitexact a.wav
  $F $A -c:a pcm_s16be -bitexact -f aiff a.aiff
  $F $A -c:a flac -bitexact a.flac
  $F $A -c:a pcm_mulaw -bitexact -f au a.au
  $F $V -c:v flv -bitexact -f swf a.swf
  $F $A -c:a aac -bitexact -f adts a.aac
elif have sox; then
  sox -n -r 8000 -c 1 a.wav synth 3 sine 440
fi

# Archives ------------------------------------------------------------------
mkdir -p src/docs src/more
S=$S python3 - <<'EOF'
import os, random
r = random.Random(7 + int(os.environ['S']))
words = "alpha beta gamma delta data disk file sector image carving recovery volume".split()
for n in range(6):
    with open(f"src/docs/note{n}.txt", "w") as f:
        f.write(" ".join(r.choice(words) for _ in range(2000 + 900 * n)))
with open("src/more/blob.bin", "wb") as f:
    f.write(bytes(r.getrandbits(8) for _ in range(30000)))
EOF
mkdir -p src/empty
if have zip; then
  (cd src && zip -X -q -r ../a.zip docs && zip -X -q -r ../b.zip more docs/note1.txt)
fi
if have tar; then
  tar --sort=name --mtime=@0 --owner=0 --group=0 -cf a.tar -C src .
  tar --sort=name --mtime=@0 --owner=0 --group=0 -czf b.tar.gz -C src docs
fi
have gzip && gzip -N -c src/docs/note3.txt > note3.txt.gz
have bzip2 && bzip2 -9 -c src/docs/note4.txt > note4.txt.bz2
have 7z && (cd src && 7z a -bd -bso0 ../a.7z docs >/dev/null)
have xz && xz -c src/docs/note2.txt > note2.txt.xz

# Documents -----------------------------------------------------------------
if have sqlite3; then
  sqlite3 a.sqlite "create table t(id integer primary key, v text);" \
    "with recursive c(x) as (select 1 union all select x+1 from c where x<$((3000 + 500 * S))) insert into t(v) select printf('row %d of the table', x) from c;"
fi
python3 "$HERE/make_office.py" . "$S"
if have gs; then
  cat > page.ps <<EOF
%!PS-Adobe-3.0
/Helvetica findfont 24 scalefont setfont
72 700 moveto (Carving benchmark page) show
72 650 moveto (Second line of text, set $S) show
newpath 100 100 moveto 300 400 lineto 500 120 lineto closepath stroke
showpage
EOF
  gs -q -dNOPAUSE -dBATCH -sDEVICE=pdfwrite -sOutputFile=a.pdf \
    -c "[ /Title (Bench Report) /Author (Ada Writer) /Creator (BenchMaker) /CreationDate (D:20100203040506) /DOCINFO pdfmark" -f page.ps
  gs -q -dNOPAUSE -dBATCH -sDEVICE=eps2write -sOutputFile=a.eps page.ps
  rm -f page.ps
fi
cat > a.html <<EOF
<!DOCTYPE html>
<html>
<head><title>Bench page</title></head>
<body>
<h1>Carving benchmark $S</h1>
<p>A small page with a table.</p>
<table><tr><td>one</td><td>two</td></tr><tr><td>three</td><td>four</td></tr></table>
</body>
</html>
EOF
S=$S python3 - <<'EOF'
import os, random
r = random.Random(11 + int(os.environ['S']))
rows = "".join(f"<tr><td>{i}</td><td>{r.randint(0, 10**9)}</td></tr>\n" for i in range(400))
open("b.html", "w").write(f"<html>\n<head><title>Long page</title></head>\n<body>\n<table>\n{rows}</table>\n</body>\n</html>\n")
open("a.rtf", "w").write("{\\rtf1\\ansi\\deff0 {\\fonttbl {\\f0 Times;}}\\f0\\fs24 " + "Some benchmark text. " * 200 + "}\n")
open("a.svg", "w").write('<?xml version="1.0" encoding="UTF-8"?>\n<svg xmlns="http://www.w3.org/2000/svg" width="100" height="100">\n'
                         + "".join(f'<circle cx="{r.randint(0,100)}" cy="{r.randint(0,100)}" r="5"/>\n' for _ in range(200)) + "</svg>\n")
EOF
rm -rf src
ls | wc -l
