#!/usr/bin/env bash
# The Windows program's first start under wine on a virtual display with a window manager: without an
# options file it shows the preferences dialog, titled so, and nothing else. Filled in from the
# keyboard (a DM777 on COM7, a pseudo-terminal, at 19200, ID $2A, hints on, English) and confirmed,
# it writes the options file byte for byte as the Linux program does, shows the 777 panel and sends
# a key with the new ID. The panel's options button opens the dialog again in English; Escape on OK
# closes it and the program runs on until the panel's close button.
#   win32-serial-device-test.sh xvfb-run ... win32_first_start_test.sh WINE PROGRAM.exe PLACE.exe
set -euo pipefail
wine=$1 program=$(realpath "$2") place=$3
layout=BRW777
far_end=${LUMEVANTA_FAR_END_LOG#Z:}
far_end=${far_end//\\//}
shot=$PWD/win32_first_start.png
source "$(dirname "$0")/../support/session.sh"
stored() { find "$WINEPREFIX/drive_c/users" -path '*/Lumevanta/options.ini' 2> /dev/null; }
on_cleanup() {
  wineserver -k 2> /dev/null || true
  stored | xargs -r rm -f
}
on_failure() {
  import -window root "$shot" 2>/dev/null || true
  for window in $(xdotool search --onlyvisible --name . 2> /dev/null); do
    echo "window: $(xdotool getwindowname "$window")" >&2
  done
  echo "(the screen: $shot)"
}
# The first shown window whose whole name matches; xdotool's own search sees only the Latin-1 name,
# where Cyrillic is lost.
visible() {
  local window
  for window in $(xdotool search --onlyvisible --name . 2> /dev/null); do
    xdotool getwindowname "$window" 2> /dev/null | grep -qx -- "$1" && echo "$window" && return 0
  done
  return 1
}
click_part() {
  local left top width height
  read -r left top width height _ < <("$wine" "$place" $layout "$1" | tr -d '\r')
  xdotool mousemove --window "$2" $((left + width / 2)) $((top + height / 2)) click 1
}

openbox > /dev/null 2>&1 &
pids+=($!)
# A wine server started without a display (as the port's mapping starts one) gives its programs none.
wineserver -k 2> /dev/null || true
stored | xargs -r rm -f

cd "$work"
LANG=ru_RU.UTF-8 "$wine" "$program" &
program_pid=$!
pids+=($program_pid)
first_start="Первый запуск. Настройте соединение с COM портом"
wait_for 300 visible "$first_start" || fail "no first-start dialog"
dialog=$(visible "$first_start")
visible $layout > /dev/null && fail "a panel shows before the dialog is confirmed"
import -window root "${shot%.png}_dialog.png"

# OK holds the focus; the tab order runs through the device type, port, speed, ID, hints, on-top and
# language. Tabbing into a field selects its text, so typing replaces it.
xdotool windowactivate --sync "$dialog" > /dev/null 2>&1 || true
xdotool key --delay 60 Tab Tab type --delay 40 DM777
xdotool key Tab type --delay 40 COM7
xdotool key Tab type --delay 40 19200
xdotool key Tab type --delay 40 '$2A'
xdotool key --delay 60 Tab space Tab Tab type --delay 40 English
xdotool key Return

wait_for 100 visible $layout || fail "no $layout panel after OK"
panel=$(visible $layout)
visible "$first_start" > /dev/null && fail "the dialog stayed open after OK"
file=$(stored)
[ -n "$file" ] || fail "OK wrote no options file"
printf '%s\r\n' "DM777          ; hardware type" "yes   ; show hints" "no   ; always on top" "COM7   ; port" \
  "19200   ; baudrate" "42     ; ID, decimal format" "1     ; language " "" "" "" > "$work/expected.ini"
cmp "$file" "$work/expected.ini" || fail "the options file differs: $(od -c "$file" | head -n 20)"

# The port was opened with what was confirmed: a key goes out with ID 42.
before=$(stat -c %s "$far_end")
click_part menu_b "$panel"
wait_for 50 test "$(stat -c %s "$far_end")" -ge $((before + 5)) || fail "no frame on the line"
frame=$(tail -c 5 "$far_end" | od -An -tx1 | tr -d ' \n')
[ "$frame" = "ffc02a4d7f" ] || fail "the line carried $frame, not MENU's frame for ID 42, ff c0 2a 4d 7f"

# The options button opens the dialog again, in the language now stored; Escape on OK closes it.
click_part opt_b "$panel"
wait_for 50 visible Preferences || fail "the options button opened no English dialog"
dialog=$(visible Preferences)
import -window root "$shot"
xdotool windowactivate --sync "$dialog" > /dev/null 2>&1 || true
xdotool key Escape
closed() { ! visible Preferences; }
wait_for 30 closed || fail "Escape on OK left the dialog open"
kill -0 "$program_pid" || fail "closing the dialog after a confirmed setup ended the program"

click_part close_b "$panel"
wait_for 100 bash -c "! kill -0 $program_pid" || fail "the close button did not end the program"
echo "ok: first-start dialog, options written as on Linux, $layout panel sent $frame, dialog reopened and closed"
