#!/usr/bin/env bash
# The panel on screens that scale by 1.5 and 2: the window is its logical size times the scale, a
# key is hit where it is drawn, and the artwork is painted at twice the size, not pixel-doubled (at
# 2x few aligned 2x2 blocks are four equal pixels). The screenshots are kept for a look.
#   scaled_test.sh LUMEVANTA VIRTUAL_RECORDER SCREENSHOTS
set -euo pipefail
program=$1 recorder=$2 shots=$3
here=$(dirname "$0")
source "$here/../support/session.sh"
source "$here/x11_windows.sh"

private_desktop
start_xvfb 2048x1200
start_recorder "$recorder"
write_options "$XDG_CONFIG_HOME/lumevanta/options.ini" BRW721 no
mkdir -p "$work/cwd"

# scale, the panel's size on the screen (663 x 170 logical), and PLAY's centre (430,87) in pixels.
while read -r scale size play; do
  (cd "$work/cwd" && QT_SCALE_FACTOR=$scale exec "$program") > "$work/program-$scale.log" 2>&1 &
  app=$!
  pids+=("$app")
  id=$(window_of BRW721 --onlyvisible)
  [ -n "$id" ] || fail "at $scale the panel did not appear"
  eval "$(xdotool getwindowgeometry --shell "$id")"
  [ "${WIDTH}x$HEIGHT" = "$size" ] || fail "at $scale the panel is ${WIDTH}x$HEIGHT, not $size"
  before=$(grep -c 'key=50' "$work/recorder.log" || true)
  xdotool mousemove --window "$id" ${play/,/ } click 1
  played() { [ "$(grep -c 'key=50' "$work/recorder.log" || true)" -gt "$before" ]; }
  eventually played || fail "at $scale a click on PLAY's centre did not send PLAY"
  import -display "$DISPLAY" -window "$id" "$shots/scaled-$scale.png" || fail "no screenshot at $scale"
  kill -TERM "$app"
  eventually gone "$app" || fail "at $scale the program did not end on SIGTERM"
done <<'ROWS'
1.5 995x255 645,130
2 1326x340 860,174
ROWS

share=$(/usr/bin/python3 "$here/block_share.py" "$shots/scaled-2.png")
[ "$share" -lt 50 ] || fail "at 2x ${share}% of the aligned 2x2 blocks are four equal pixels: the artwork is doubled"
echo "2x: ${share}% of the aligned 2x2 blocks are four equal pixels"
echo "1 passed, 0 failed"
