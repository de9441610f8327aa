#!/usr/bin/env bash
# Starts Quarnel under a virtual X display (xvfb-run) and saves a screenshot
# of each window into build/shots/, for a person to look at:
#   main.png          the main window as quarnel-launcher opens it
#   second-start.png  after a second start (still one main window)
#   about.png         the about box, opened from its button
# and, from quarnel_window_shots (tools/screenshot/WindowShots.cpp):
#   category.png      the category page as the program opens it
#   disk-image.png    the disk page after "Open image…" with the demo image, its volume chosen
#   apfs-notice.png   the notice for a row that cannot be opened
#   update.png        the update window reporting a newer version (list served locally)
#   update-none.png   the update window when the list's server cannot be reached
# and, from quarnel_results_shots (tools/screenshot/ResultsShots.cpp):
#   results-*.png     the results window on an image of its own: a deep scan
#                     paused at its start, then a quick scan's deep-scan
#                     suggestion (results-popover.png), its path, category
#                     and date trees and the space-bar preview
# and, from quarnel_thumbnail_shots (tools/screenshot/ThumbnailShots.cpp), after
# a deep scan of 20 pictures and 2 videos (scripts/make-pictures-image.sh):
#   results-grid*.png       the thumbnail grid, deleted marks and ticks
#   results-coverflow*.png  the cover flow of pictures and of the videos
# and, from quarnel_recovery_shots (tools/screenshot/RecoveryShots.cpp):
#   recovery-*.png    the recovery's progress window (running, stop question,
#                     destination full), finished and stopped windows
#   save-progress.png the progress window of saving a scan result
# Needs: xvfb-run, xdotool, ImageMagick, ffmpeg (scripts/setup.sh); run as
# root so the launcher needs no password.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${QUARNEL_SHOTS_BUILD:-build/release}
out=$root/build/shots

export CCACHE_DIR=${CCACHE_DIR:-$root/.cache/ccache}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target quarnel quarnel-launcher quarnel_screenshot quarnel_window_shots \
  quarnel_results_shots quarnel_recovery_shots quarnel_thumbnail_shots >/dev/null

mkdir -p "$out"
rm -f "$out"/*.png
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -m 700 "$work/run"
scripts/make-demo-image.sh "$work/demo.img" >/dev/null
scripts/make-pictures-image.sh "$work/pictures.img" >/dev/null

cat >"$work/session.sh" <<'SESSION'
set -euo pipefail
bin=$1 out=$2 work=$3
shot() { sleep 1; "$bin/quarnel_screenshot" "$out/$1.png"; echo "wrote $out/$1.png"; }
windows() { xdotool search --onlyvisible --name "$1" 2>/dev/null | wc -l; }
# Waits for a visible window whose title matches; its id.
wait_window() {
  for _ in $(seq 1 100); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  echo "no window named $1" >&2
  return 1
}
"$bin/quarnel-launcher"
main=$(wait_window "Quarnel Data Recovery")
shot main
"$bin/quarnel-launcher"
sleep 2
echo "main windows after a second start: $(windows "Quarnel Data Recovery")"
shot second-start
# The about button sits at (860, 14) in the band of the main window.
eval "$(xdotool getwindowgeometry --shell "$main")"
xdotool mousemove $((X + 868)) $((Y + 22)) click 1
sleep 1
shot about
# The main program ends on SIGTERM like on a quit; wait for it to go. Its
# process is the one holding the single-instance lock of this session.
pid=
for p in /proc/[0-9]*; do
  if ls -l "$p/fd" 2>/dev/null | grep -q "$XDG_RUNTIME_DIR/quarnel-"; then pid=${p#/proc/}; fi
done
[ -n "$pid" ] && kill -TERM "$pid"
for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
SESSION

XDG_RUNTIME_DIR=$work/run XDG_CONFIG_HOME=$work/config \
  xvfb-run -a -s "-screen 0 1280x800x24" bash "$work/session.sh" "$root/$build/bin" "$out" "$work"
XDG_RUNTIME_DIR=$work/run XDG_CONFIG_HOME=$work/config-shots \
  xvfb-run -a -s "-screen 0 1280x800x24" "$root/$build/bin/quarnel_window_shots" "$out" "$work/demo.img"
mkdir "$work/results"
XDG_RUNTIME_DIR=$work/run XDG_CONFIG_HOME=$work/config \
  xvfb-run -a -s "-screen 0 1280x800x24" "$root/$build/bin/quarnel_results_shots" "$out" "$work/results"
XDG_RUNTIME_DIR=$work/run XDG_CONFIG_HOME=$work/config \
  xvfb-run -a -s "-screen 0 1280x800x24" "$root/$build/bin/quarnel_thumbnail_shots" "$out" "$work/pictures.img"
XDG_RUNTIME_DIR=$work/run XDG_CONFIG_HOME=$work/config \
  xvfb-run -a -s "-screen 0 1280x800x24" "$root/$build/bin/quarnel_recovery_shots" "$out"
ls -l "$out"
