#!/usr/bin/env bash
# Runs the README's two commands on a fresh Debian 12 made with debootstrap,
# as a newcomer would: once as root with no LANG set, once as a normal user
# (with sudo set up, and the PATH a Debian user gets). Each run gets its own
# copy of the fresh root and a clean clone of this repository's HEAD commit
# (commit first: changes not committed are not part of the clone).
#
#   sudo scripts/ci-fresh.sh [--work DIR] [--mirror URL] [root|user|both]
#
#   --work DIR    where the fresh roots and logs go (default build/ci-fresh);
#                 the debootstrap result is kept there as base.tar and reused
#   --mirror URL  Debian mirror (default http://deb.debian.org/debian)
#
# Needs root (debootstrap, chroot, mounts), debootstrap itself and about
# 10 GB free per run. Each run's output is in WORK/<run>.log; the times of
# its steps are printed at the end. `../shared/fixtures` (when present) is
# mounted read-only beside the clone, as the tests expect it.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
work=$repo/build/ci-fresh
mirror=http://deb.debian.org/debian
runs=both
while [ "$#" -gt 0 ]; do
  case $1 in
    --work) work=$2; shift 2 ;;
    --mirror) mirror=$2; shift 2 ;;
    root|user|both) runs=$1; shift ;;
    -h|--help) sed -n '2,18p' "$0"; exit 0 ;;
    *) echo "ci-fresh.sh: unknown argument '$1'" >&2; exit 2 ;;
  esac
done
[ "$(id -u)" -eq 0 ] || { echo "ci-fresh.sh: run as root (debootstrap, chroot and mounts need it)" >&2; exit 2; }
export PATH="$PATH:/usr/sbin:/sbin"
command -v debootstrap >/dev/null || { echo "ci-fresh.sh: debootstrap is missing (apt-get install debootstrap)" >&2; exit 2; }
mkdir -p "$work"
work=$(cd "$work" && pwd)

# The fresh system, made once.
if [ ! -f "$work/base.tar" ]; then
  echo "== debootstrap bookworm (once) =="
  rm -rf "$work/base"
  start=$SECONDS
  debootstrap bookworm "$work/base" "$mirror" >"$work/debootstrap.log" 2>&1 ||
    { tail -n 20 "$work/debootstrap.log" >&2; exit 1; }
  tar -C "$work/base" -cf "$work/base.tar.part" . && mv "$work/base.tar.part" "$work/base.tar"
  rm -rf "$work/base"
  echo "debootstrap: $((SECONDS - start)) s"
fi

mounted=()
cleanup() {
  local i
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount -l "${mounted[$i]}" 2>/dev/null || true; done
}
trap cleanup EXIT

mount_in() {  # mount_in ROOT ARGS... TARGET
  local target=${*: -1}
  mkdir -p "$target"
  mount "${@:2}"
  mounted+=("$target")
  case " $* " in *" --rbind "*) mount --make-rslave "$target" ;; esac
}

# Removes a fresh root of an earlier run, unmounting what is left in it
# first (never deleting through a mount of the machine's own /dev or /sys).
remove_root() {
  local root=$1 m
  while read -r m; do umount -l "$m" 2>/dev/null || true; done \
    < <(awk -v r="$root/" 'index($2 "/", r) == 1 { print $2 }' /proc/self/mounts | sort -r)
  if awk -v r="$root/" 'index($2 "/", r) == 1 { found = 1 } END { exit !found }' /proc/self/mounts; then
    echo "ci-fresh.sh: $root still has mounts; not removing it" >&2
    return 1
  fi
  rm -rf --one-file-system "$root"
}

# run_in NAME USER HOME: a fresh root, a clean clone in HOME/quarnel, the two
# commands as USER through a login shell; the times of each step.
run_in() {
  local name=$1 user=$2 home=$3
  local root=$work/$name
  local log=$work/$name.log
  remove_root "$root"
  mkdir -p "$root"
  tar -C "$root" -xf "$work/base.tar"
  cp /etc/resolv.conf "$root/etc/resolv.conf"
  mount_in "$root" -t proc proc "$root/proc"
  mount_in "$root" --rbind /sys "$root/sys"
  mount_in "$root" --rbind /dev "$root/dev"
  mount_in "$root" -t tmpfs -o size=16g tmpfs "$root/tmp"
  chmod 1777 "$root/tmp"
  if [ "$user" != root ]; then
    chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive \
      sh -c "apt-get update -qq && apt-get install -y -qq sudo >/dev/null && useradd -m -s /bin/bash $user &&
             echo '$user ALL=(ALL) NOPASSWD: ALL' > /etc/sudoers.d/$user && chmod 0440 /etc/sudoers.d/$user" \
      >"$log" 2>&1 || { tail -n 20 "$log" >&2; return 1; }
  fi
  git clone -q --no-local "$repo" "$root$home/quarnel"
  if [ -d "$repo/../shared/fixtures" ]; then
    mount_in "$root" --bind -o ro "$repo/../shared" "$root$home/shared"
  fi
  chroot "$root" chown -R "$user:" "$home/quarnel"

  # README's two commands, then run.sh from another folder with a relative
  # path and --json: its standard output must be the tool's JSON lines alone.
  local json_check='mkdir -p ~/elsewhere && cd ~/elsewhere && cp ~/quarnel/build/demo/demo.img d.img &&
    ~/quarnel/scripts/run.sh scan d.img --json > found.json && test -s found.json && ! grep -qv "^{" found.json'
  local steps=("./scripts/setup.sh && ./scripts/run.sh" "$json_check" "./scripts/setup.sh && ./scripts/test.sh")
  local titles=("setup + run (the demonstration)" "run.sh from another folder, --json" "setup + test")
  local i status=0 start
  echo "== $name: as $user, $(chroot "$root" su - "$user" -c 'echo "LANG=${LANG:-unset} PATH=$PATH"') ==" | tee -a "$log"
  for i in "${!steps[@]}"; do
    start=$SECONDS
    if chroot "$root" su - "$user" -c "cd ~/quarnel && ${steps[$i]}" >>"$log" 2>&1; then
      echo "$name: ${titles[$i]}: passed in $(((SECONDS - start) / 60)) min $(((SECONDS - start) % 60)) s" | tee -a "$log"
    else
      echo "$name: ${titles[$i]}: FAILED after $(((SECONDS - start) / 60)) min $(((SECONDS - start) % 60)) s (see $log)" | tee -a "$log"
      status=1
      break
    fi
  done
  grep -E "tests skipped:|^test.sh:|Total Test time|tests passed" "$log" | sed "s/^/$name: /" || true
  return "$status"
}

status=0
case $runs in
  root) run_in as-root root /root || status=1 ;;
  user) run_in as-user newcomer /home/newcomer || status=1 ;;
  both)
    run_in as-root root /root || status=1
    run_in as-user newcomer /home/newcomer || status=1
    ;;
esac
exit "$status"
