#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing need, if any are missing:
# the toolchain and libraries (CLI11, header only, reads every command line), Qt's Wayland platform, the X and Wayland servers and window managers the
# desktop tests run (GNOME's mutter with Xwayland, driven over D-Bus from Python), a session bus and a
# socket tool to stand in for a bus that never answers, the serial device server the network lines are
# tested against, the validators and Debian tools the package test uses, and the X client libraries
# the start-up benchmark watches the screen with.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev libjpeg62-turbo-dev libcli11-dev
  libxcb1-dev libxcb-damage0-dev libxcb-xtest0-dev
  qt6-wayland
  libgtest-dev libgmock-dev
  xvfb xauth xdotool x11-utils trayer imagemagick openbox weston dbus-daemon socat ser2net
  mutter xwayland python3-dbus
  desktop-file-utils appstream dpkg-dev man-db
  clang-format fonts-dejavu-core fonts-dejavu-extra
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
"${as_root[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
