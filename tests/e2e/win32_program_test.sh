#!/usr/bin/env bash
# The Windows program under wine on a virtual display with a window manager: started with the options
# of a 721 recorder on COM7 (a pseudo-terminal playing recorder 1), its panel is the skin's size, a
# click on MENU sends that key's frame, the recorder's 'X' lights the ok lamp, a second copy is
# refused while the first runs on, the skin drags the panel and the close button ends the program.
#   win32-serial-device-test.sh xvfb-run ... win32_program_test.sh WINE PROGRAM.exe PLACE.exe ARTWORK_DIR
set -euo pipefail
wine=$1 program=$(realpath "$2") place=$3 artwork=$4
layout=BRW721
far_end=${LUMEVANTA_FAR_END_LOG#Z:}
far_end=${far_end//\\//}
shot=$PWD/win32_program.png
source "$(dirname "$0")/../support/session.sh"
on_cleanup() { wineserver -k 2> /dev/null || true; }
on_failure() {
  import -window root "$shot" 2>/dev/null || true
  for window in $(xdotool search --name . 2> /dev/null); do echo "window: $(xdotool getwindowname "$window")" >&2; done
  echo "(the screen: $shot)"
}

openbox > /dev/null 2>&1 &
pids+=($!)
# A wine server started without a display (as the port's mapping starts one) gives its programs none.
wineserver -k 2> /dev/null || true

read -r menu_left menu_top menu_width menu_height _ < <("$wine" "$place" $layout menu_b | tr -d '\r')
read -r ok_left ok_top ok_width ok_height _ ok_lit < <("$wine" "$place" $layout lt_ok | tr -d '\r')
read -r close_left close_top close_width close_height _ < <("$wine" "$place" $layout close_b | tr -d '\r')
read -r skin_width skin_height < <(identify -format "%w %h\n" "$artwork/skin_$layout.jpg")

printf '%s\r\n' "$layout          ; hardware type" "no   ; show hints" "no   ; always on top" "COM7   ; port" \
  "9600   ; baudrate" "1     ; ID, decimal format" "1     ; language " "" "" "" > "$work/options.ini"
cd "$work"
"$wine" "$program" &
first=$!
pids+=($first)
wait_for 300 xdotool search --onlyvisible --name "^$layout\$" || fail "no $layout panel appeared"
panel=$(xdotool search --onlyvisible --name "^$layout\$" | head -n 1)
eval "$(xdotool getwindowgeometry --shell "$panel")"
[ "$WIDTH" = "$skin_width" ] && [ "$HEIGHT" = "$skin_height" ] ||
  fail "the panel is ${WIDTH}x$HEIGHT, its skin ${skin_width}x$skin_height"

before=$(stat -c %s "$far_end")
xdotool mousemove --window "$panel" $((menu_left + menu_width / 2)) $((menu_top + menu_height / 2)) click 1
wait_for 50 test "$(stat -c %s "$far_end")" -ge $((before + 5)) || fail "no frame on the line"
frame=$(tail -c 5 "$far_end" | od -An -tx1 | tr -d ' \n')
[ "$frame" = "ffc0014d7f" ] || fail "the line carried $frame, not MENU's frame ff c0 01 4d 7f"

# The recorder answered 'X': the ok lamp shows its lit picture (its middle pixel, as painted).
lit=$(pixel "$artwork/bmp/$ok_lit.bmp" $((ok_width / 2)) $((ok_height / 2)))
lamp_lit() {
  import -window "$panel" "$work/panel.png" &&
    [ "$(pixel "$work/panel.png" $((ok_left + ok_width / 2)) $((ok_top + ok_height / 2)))" = "$lit" ]
}
wait_for 15 lamp_lit || fail "the ok lamp is not lit after the recorder's answer"
import -window root "$shot"

# A second copy says the program is running (its caption is the program's path) and ends when told.
"$wine" "$program" &
second=$!
pids+=($second)
wait_for 200 xdotool search --onlyvisible --name "lumevanta.exe\$" || fail "the second copy said nothing"
wait_for 30 told_to_end "$second" "lumevanta.exe\$" || fail "the second copy did not end"
xdotool search --onlyvisible --name "^$layout\$" > /dev/null || fail "the first copy's panel went"

# A press on the bare skin moves the panel with the mouse.
xdotool mousemove --window "$panel" $((skin_width / 2)) 2 mousedown 1 mousemove_relative 40 30 sleep 0.2 \
  mousemove_relative 40 30 sleep 0.2 mouseup 1
moved() { [ "$(xdotool getwindowgeometry --shell "$panel" | grep -E '^[XY]=' | tr '\n' ' ')" = "X=$((X + 80)) Y=$((Y + 60)) " ]; }
wait_for 20 moved || fail "dragging the skin did not move the panel by 80,60 from $X,$Y"
xdotool mousemove --window "$panel" $((close_left + close_width / 2)) $((close_top + close_height / 2)) click 1
wait_for 100 bash -c "! kill -0 $first" || fail "the close button did not end the program"
echo "ok: $layout panel ${WIDTH}x$HEIGHT, MENU sent $frame, ok lamp lit, second copy refused, dragged, closed"
