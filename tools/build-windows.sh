#!/usr/bin/env bash
# Cross-builds for 64-bit Windows into BUILD_DIR (default build/windows), installing first whatever the
# build and its tests under wine need: the programs lumevanta.exe and lumevanta-send.exe, the core and
# the Win32 platform layer with their tests (cmake/windows-targets.cmake), and in BUILD_DIR/dist the
# portable zip and the installer (dist/windows). The panel pictures and the program icon are painted
# first, and the virtual recorder the tests answer with is built, by programs of this machine in a
# host build of its own (BUILD_DIR/host).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build/windows}

packages=(cmake ninja-build g++-mingw-w64-x86-64-posix googletest wine wine64 python3 xvfb xauth
  g++ qt6-base-dev libjpeg62-turbo-dev libcli11-dev fonts-dejavu-core openbox xdotool imagemagick nsis zip unzip ser2net trayer)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  as_root=()
  [ "$(id -u)" -eq 0 ] || as_root=(sudo)
  "${as_root[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

host="$dir/host"
cmake -S . -B "$host" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMEVANTA_TESTS=OFF -DLUMEVANTA_BENCH=OFF > /dev/null
cmake --build "$host" -j "$(nproc)" --target panel-artwork-files windows_icon_file virtual-recorder
host=$(realpath "$host")

cmake -S . -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
  -DLUMEVANTA_WERROR=ON -DLUMEVANTA_BENCH=OFF "-DLUMEVANTA_PANEL_ARTWORK=$host/panel_assets" \
  "-DLUMEVANTA_PROGRAM_ICON=$host/icons/lumevanta.ico" "-DLUMEVANTA_VIRTUAL_RECORDER=$host/bin/virtual-recorder" > /dev/null
cmake --build "$dir" -j "$(nproc)"
echo "Packages: $(ls "$dir"/dist/*.zip "$dir"/dist/*-setup.exe | tr '\n' ' ')"
