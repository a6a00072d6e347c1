#!/usr/bin/env bash
# Installs the Debian 12 packages Tessora needs to build, test and run.
# Only missing packages are installed; apt-get update runs only when something must be installed.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config git
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libpng-dev libjpeg62-turbo-dev libgif-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev clang-format
  xvfb xauth x11-utils fonts-dejavu-core
  qt6-multimedia-dev libx11-dev libglib2.0-dev
  dbus-daemon xclip xdg-desktop-portal
  gsettings-desktop-schemas cinnamon-desktop-data mate-desktop-common
  xfconf libxfconf-0-3
  qt6-wayland libwayland-dev libwayland-bin sway wl-clipboard xwayland x11-xserver-utils
  x11-apps netpbm picom xfdesktop4 swaybg grim jq
)

# Tools the benchmarks compare against, only for `make bench`.
if [ "${1:-}" = "--bench" ]; then
  PACKAGES=(imagemagick libvips-tools)
fi

# The desktops `make test-desktops` starts headless, and what it reads the screen with.
if [ "${1:-}" = "--desktops" ]; then
  PACKAGES=(
    xvfb x11-apps x11-utils netpbm dbus-daemon procps libglib2.0-bin
    picom
    xfdesktop4 xfconf
    caja dconf-service dconf-cli mate-desktop-common
    pcmanfm-qt
    sway swaybg grim
  )
fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
