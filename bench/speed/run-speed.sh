#!/bin/bash
# Speed and memory of quarnel-cli side by side with a reference measured in
# the same run (never a pass/fail test). Make the images first with
# make-bench-images.sh; images that are missing are left out.
#   run-speed.sh CLI IMAGEDIR [RUNS] [IMAGE...]
# RUNS: interleaved runs (default 5); IMAGE: the names to measure (random,
# real, ntfs20k, ntfs100k, ntfs300k, ntfs1m, fat50k, exfat50k, small,
# carving; default every one present).
# random.img may be a link to a file in /dev/shm (bytes in RAM).
# Each figure is the median of RUNS; "ratio" is the reference's time over
# Quarnel's for the whole-disk scans (the share of the reference's speed,
# higher is better) and Quarnel's time over the reference's for the quick
# scans (lower is better), there also for the CPU time (user + system),
# which other work on the machine disturbs less than the wall time. Peak
# memory is the maximum resident set (/usr/bin/time's figure). For the
# quick scans it is also set against the budget of 50 MB plus 200 bytes per
# node the scan reads (every entry `fls -r` lists, live or deleted); a last
# figure below 1 is within it.
# "cold" drops the image's pages from the page cache before every run.
set -uo pipefail
CLI=$(realpath "$1"); D=$(realpath "$2"); RUNS=${3:-5}; shift $(($# < 3 ? $# : 3))
WANT=" ${*:-random real ntfs20k ntfs100k ntfs300k ntfs1m fat50k exfat50k small carving} "
wanted() { [[ $WANT == *" $1 "* ]]; }
W=$(mktemp -d); trap 'rm -rf "$W"' EXIT

# run NAME CMD...: appends "seconds kib cpu-seconds" of one run to $W/NAME
run() {
  local name=$1; shift
  /usr/bin/time -f "%e %M %U %S" -o "$W/t" "$@" >/dev/null 2>&1
  awk '{print $1, $2, $3 + $4}' "$W/t" >> "$W/$name"
}
median() { sort -n -k"$2" "$W/$1" | awk -v c="$2" '{v[NR]=$c} END {print v[int((NR+1)/2)]}'; }
drop() { dd if="$1" iflag=nocache count=0 status=none; }
row() {  # row WORK QNAME REFNAME REFLABEL higher|lower [NODES]
  local qt qm qc rt rm rc ratio budget=""
  qt=$(median "$2" 1); qm=$(median "$2" 2); qc=$(median "$2" 3); rt=$(median "$3" 1); rm=$(median "$3" 2)
  rc=$(median "$3" 3)
  if [ "$5" = higher ]; then ratio=$(awk -v a="$rt" -v b="$qt" 'BEGIN{printf "%.3f of %s", (b>0?a/b:0), "'"$4"'"}')
  else ratio=$(awk -v a="$qt" -v b="$rt" -v c="$qc" -v d="$rc" \
    'BEGIN{printf "%.2fx %s (CPU time %.2fx)", (b>0?a/b:0), "'"$4"'", (d>0?c/d:0)}'); fi
  if [ -n "${6:-}" ]; then
    budget=$(awk -v m="$qm" -v n="$6" 'BEGIN{b=50e6+200*n; printf "%d nodes: %.0f MB of %.0f MB, %.2f", n, m*1024/1e6, b/1e6, m*1024/b}')
  fi
  printf "| %s | %.2f s (CPU %.2f s), %d MB | %.2f s (CPU %.2f s), %d MB | %s | %s |\n" "$1" "$qt" "$qc" \
    $((qm / 1024)) "$rt" "$rc" $((rm / 1024)) "$ratio" "$budget"
}

echo "| work | Quarnel | reference | ratio | peak RSS against the budget |"
echo "|---|---|---|---|---|"
for img in random real; do
  f=$D/$img.img; [ -f "$f" ] && wanted $img || continue
  f=$(realpath "$f")
  for i in $(seq "$RUNS"); do
    cat "$f" >/dev/null
    run cat-$img cat "$f"
    run disk-$img "$CLI" scan "$f" --disk --json
  done
  row "complete scan --disk, $img, warm ($(du -hL --apparent-size "$f" | cut -f1))" disk-$img cat-$img cat higher
  # A file in RAM (/dev/shm) has no cold case.
  case $f in /dev/shm/*) continue ;; esac
  for i in $(seq "$RUNS"); do
    drop "$f"; run dd-$img dd if="$f" of=/dev/null bs=4M iflag=direct
    drop "$f"; run cold-$img "$CLI" scan "$f" --disk --json
  done
  row "complete scan --disk, $img, cold" cold-$img dd-$img "dd iflag=direct" higher
done
for img in ntfs20k ntfs100k ntfs300k ntfs1m fat50k exfat50k; do
  f=$D/$img.img; [ -f "$f" ] && wanted $img || continue
  nodes=$(fls -r "$f" 2>/dev/null | wc -l)
  for i in $(seq "$RUNS"); do
    run fls-$img fls -r -d "$f"
    run quick-$img "$CLI" scan "$f" --json
    # Every recovery writes into a fresh folder of its own, and none is
    # removed before the end: where the file system looks through recently
    # freed inodes before it reuses one (ext4 without a journal), each new
    # file right after another run's files were removed costs time in
    # proportion to them, which would be charged to whichever runs next.
    # The two take turns at going first.
    mkdir "$W/qrec-$img-$i"
    if [ $((i % 2)) = 1 ]; then
      run tskr-$img tsk_recover "$f" "$W/tskr-$img-$i"
      run qrec-$img "$CLI" recover "$f" --to "$W/qrec-$img-$i"
    else
      run qrec-$img "$CLI" recover "$f" --to "$W/qrec-$img-$i"
      run tskr-$img tsk_recover "$f" "$W/tskr-$img-$i"
    fi
  done
  row "quick scan, $img" quick-$img fls-$img "fls -r -d" lower "$nodes"
  row "quick scan + recover, $img" qrec-$img tskr-$img "tsk_recover" lower "$nodes"
done
f=$D/small.img
if [ -f "$f" ] && wanted small; then
  for i in $(seq "$RUNS"); do run cat-small cat "$f"; run disk-small "$CLI" scan "$f" --disk --json; done
  # Against the fixed cost only: the figure that counts is Quarnel's own.
  row "complete scan --disk, small image ($(du -hL --apparent-size "$f" | cut -f1))" disk-small cat-small cat higher
fi

# --- Carving fixed cost and archive sizing ---------------------------------
# The small image's complete scan against PhotoRec's whole-space carve of the
# same image (the fixed cost of a scan), and the sizing of gzip members and
# of a tar archive of many members: a complete scan against gzip -t / tar -t
# reading the same archive. gzip.img and tar.img are made here, in $W.
carving_rows() {
  local f=$D/small.img
  pushd "$W" >/dev/null || return  # photorec.log stays in $W
  if [ -f "$f" ] && command -v photorec >/dev/null; then
    for i in $(seq "$RUNS"); do
      rm -rf "$W/rec"; mkdir "$W/rec"
      run photorec-small photorec /log /d "$W/rec/recup" /cmd "$f" partition_none,fileopt,everything,enable,wholespace,search
      run carve-small "$CLI" scan "$f" --disk --json
    done
    row "complete scan --disk, small image, against PhotoRec" carve-small photorec-small "PhotoRec" lower
  elif [ -f "$f" ]; then
    echo "small image left out: photorec is missing (apt-get install testdisk)" >&2
  fi
  # 2,000 members of 1 to 250 KB (random bytes) in a tar; the same bytes
  # gzip-compressed twice over (text of /usr/share/doc).
  python3 - "$W/tarsrc" <<'PY'
import os, random, sys
r = random.Random(5); d = os.path.join(sys.argv[1], "d"); os.makedirs(d, exist_ok=True)
for i in range(2000):
    with open(os.path.join(d, "f%04d.bin" % i), "wb") as out:
        out.write(r.randbytes(r.randint(1000, 250000)))
PY
  tar -C "$W/tarsrc" -cf "$W/a.tar" d && rm -rf "$W/tarsrc"
  (tar -cf - /usr/share/doc 2>/dev/null | head -c 200000000 | gzip -6) > "$W/a.gz"
  python3 - "$W" <<'PY'
import sys
w = sys.argv[1]
for name, parts in (("tar.img", ["a.tar"]), ("gzip.img", ["a.gz", "a.gz"])):
    with open(f"{w}/{name}", "wb") as img:
        img.write(bytes(1 << 20))
        for p in parts:
            data = open(f"{w}/{p}", "rb").read()
            img.write(data); img.write(bytes(4096 - len(data) % 4096 + (1 << 20)))
PY
  for i in $(seq "$RUNS"); do
    run tart-sizing tar -tvf "$W/a.tar"
    run tar-sizing "$CLI" scan "$W/tar.img" --disk --json
    run gzipt-sizing sh -c "gzip -t < '$W/a.gz' && gzip -t < '$W/a.gz'"
    run gzip-sizing "$CLI" scan "$W/gzip.img" --disk --json
  done
  row "tar sizing: complete scan of a $(du -h --apparent-size "$W/a.tar" | cut -f1) tar of 2,000 members" tar-sizing tart-sizing "tar -tv" lower
  row "gzip sizing: complete scan of two $(du -h --apparent-size "$W/a.gz" | cut -f1) gzip members" gzip-sizing gzipt-sizing "gzip -t" lower
  rm -f "$W"/a.tar "$W"/a.gz "$W"/tar.img "$W"/gzip.img
  popd >/dev/null || return
}
wanted carving && carving_rows
