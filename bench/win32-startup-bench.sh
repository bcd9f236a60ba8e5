#!/usr/bin/env bash
# The Windows program's start-up and memory under wine beside a bare Win32 window, in one run.
#   bench/win32-startup-bench.sh [BUILD_DIR]   (default build/windows, as tools/build-windows.sh makes it)
# The watcher is a program of this machine, built in BUILD_DIR/host; the recorder's line is a
# pseudo-terminal that wine knows as COM7.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=$(realpath "${1:-build/windows}")
host=$dir/host
cmake -S . -B "$host" -DLUMEVANTA_BENCH=ON > /dev/null
cmake --build "$host" -j "$(nproc)" --target win32_startup_bench
export WINEPREFIX=$dir/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
[ -f "$WINEPREFIX/system.reg" ] || bash tests/support/wine-prefix.sh create
exec bash tests/link/win32-serial-device-test.sh "$host/bin/win32_startup_bench" \
  "$dir/bin/lumevanta.exe" "$dir/bin/win32_bare_window.exe"
