#!/usr/bin/env bash
# Installs the Debian packages that Quarnel's build and tests need.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  zlib1g-dev libtinyxml-dev libchardet-dev libplist-dev
  qt6-base-dev qt6-svg-dev qt6-image-formats-plugins libffmpegthumbnailer-dev libraw-dev libudev-dev
  # what the windows and their tests need: elevation, a display without a
  # screen, fonts, icons, D-Bus, desktop and MIME checks
  pkexec polkitd xvfb xauth xdotool fonts-dejavu-core adwaita-icon-theme
  dbus desktop-file-utils shared-mime-info
  # tools that make and check test images
  dosfstools mtools exfatprogs exfat-fuse ntfs-3g attr faketime python3-fusepy
  fdisk gdisk parted sleuthkit util-linux e2fsprogs apfsprogs gzip tar python3
  p7zip-full xz-utils
  # pictures and videos of the thumbnail views' screenshots
  imagemagick ffmpeg
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if ((${#missing[@]})); then
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null; then
      echo "setup.sh: these packages are missing: ${missing[*]}" >&2
      echo "setup.sh: installing them needs root, and sudo is not installed. Either run" >&2
      echo "  su -c 'apt-get update && apt-get install -y sudo && adduser $(id -un) sudo'" >&2
      echo "then log in again and rerun this script, or install the packages as root:" >&2
      echo "  su -c 'apt-get update && apt-get install -y --no-install-recommends ${missing[*]}'" >&2
      exit 1
    fi
    sudo_cmd=(sudo)
  fi
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
