#!/usr/bin/env bash
# The Windows program's shell under wine on a virtual display with openbox and trayer, its line a
# pseudo-terminal as COM7: the menu hides the panel to an icon docked in trayer, the icon's menu and
# a click on it bring it back, a second copy is refused and brings the hidden panel forward, the
# place the panel was dragged to comes back in the next run, from a placement file in the settings
# folder.
#   win32-serial-device-test.sh xvfb-run ... win32_shell_test.sh WINE PROGRAM.exe
set -euo pipefail
wine=$1 program=$(realpath "$2")
layout=BRW721
shot=$PWD/win32_shell.png
source "$(dirname "$0")/../support/session.sh"
on_cleanup() {
  wineserver -k 2> /dev/null || true
  # The other tests of the prefix start without a placement.
  [ -z "${placement:-}" ] || rm -f "$placement"
}
on_failure() {
  import -window root "$shot" 2> /dev/null || true
  xwininfo -root -tree | grep -E '"(lumevanta|explorer)[.]exe"' | grep -v " 1x1+" >&2 || true
  echo "(the screen: $shot)"
}
panel_shown() { xdotool search --onlyvisible --name "^$layout\$"; }
panel_gone() { ! panel_shown; }
# The open menu: the program's shown window that has no name.
menu_window() {
  local window
  for window in $(xdotool search --onlyvisible --classname '^lumevanta\.exe$' 2> /dev/null); do
    [ -n "$(xdotool getwindowname "$window")" ] || { echo "$window"; return 0; }
  done
  return 1
}
# Opens the menu with the right button at a point of the screen and clicks its entry (1 to 4).
choose() {
  local x=$1 y=$2 entry=$3 menu
  # Asked again: a panel just mapped may not take the first click yet.
  for _ in 1 2 3; do
    xdotool mousemove "$x" "$y" click 3
    ! wait_for 10 menu_window || break
  done
  menu_window > /dev/null || fail "no menu opened at $x,$y"
  menu=$(menu_window)
  eval "$(xdotool getwindowgeometry --shell "$menu")"
  xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT * (2 * entry - 1) / 8)) click 1
}
# The icon trayer docked: wine's shell puts it in a window of its own inside trayer's.
docked_icon() { xwininfo -tree -id "$tray" | awk '/"explorer.exe"/ && !found { print $1; found = 1 }' | grep .; }
icon_centre() {
  eval "$(xdotool getwindowgeometry --shell "$(docked_icon)")"
  echo $((X + WIDTH / 2)) $((Y + HEIGHT / 2))
}
start_program() {
  "$wine" "$program" &
  first=$!
  pids+=($first)
  wait_for 300 panel_shown || fail "no $layout panel appeared"
  panel=$(panel_shown | head -n 1)
}

openbox > /dev/null 2>&1 &
pids+=($!)
trayer --edge bottom --align right --widthtype pixel --width 120 --height 32 --SetDockType true \
  --transparent false > "$work/trayer.log" 2>&1 &
pids+=($!)
wait_for 50 xdotool search --name "^panel\$" || fail "trayer did not start: $(cat "$work/trayer.log")"
tray=$(xdotool search --name '^panel$' | head -n 1)
# A wine server started without a display (as the port's mapping starts one) gives its programs none.
wineserver -k 2> /dev/null || true
placements=$(find "$WINEPREFIX/drive_c/users" -maxdepth 1 -mindepth 1 -type d ! -name Public | head -n 1)
placement=$placements/AppData/Roaming/Lumevanta/lumevanta.INI
rm -f "$placement"

printf '%s\r\n' "$layout          ; hardware type" "no   ; show hints" "no   ; always on top" "COM7   ; port" \
  "9600   ; baudrate" "1     ; ID, decimal format" "0     ; language " "" "" "" > "$work/options.ini"
cd "$work"
start_program
eval "$(xdotool getwindowgeometry --shell "$panel")"
start_x=$X start_y=$Y panel_width=$WIDTH panel_height=$HEIGHT

# "Свернуть" on the panel's menu: the panel goes, its icon docks in trayer.
choose $((X + 300)) $((Y + 5)) 3
wait_for 30 panel_gone || fail "the menu's hide left the panel on the screen"
wait_for 50 docked_icon || fail "no icon docked in trayer"
read -r icon_x icon_y < <(icon_centre)
# "Восстановить" on the icon's menu brings it back, and the icon goes.
choose "$icon_x" "$icon_y" 2
wait_for 30 panel_shown || fail "the icon's restore did not bring the panel back"
wait_for 30 bash -c "! xwininfo -tree -id $tray | grep -q explorer.exe" || fail "the icon stayed in trayer"

# Dragged by the skin, then hidden and brought back by a click on the icon, where it was.
xdotool mousemove --window "$panel" 300 2 mousedown 1 mousemove_relative 40 30 sleep 0.2 \
  mousemove_relative 40 30 sleep 0.2 mouseup 1
moved() { [ "$(xdotool getwindowgeometry --shell "$panel" | grep -E '^[XY]=' | tr '\n' ' ')" = "X=$((start_x + 80)) Y=$((start_y + 60)) " ]; }
wait_for 20 moved || fail "dragging the skin did not move the panel by 80,60"
choose $((start_x + 380)) $((start_y + 65)) 3
wait_for 50 docked_icon || fail "no icon docked in trayer the second time"
import -window root "$shot"
read -r icon_x icon_y < <(icon_centre)
xdotool mousemove "$icon_x" "$icon_y" click 1
wait_for 30 panel_shown || fail "a click on the icon did not bring the panel back"
wait_for 10 moved || fail "the panel came back elsewhere"

# Hidden again, a second copy brings it forward and says the program is running.
choose $((start_x + 380)) $((start_y + 65)) 3
wait_for 30 panel_gone || fail "the panel stayed on the screen"
"$wine" "$program" &
second=$!
pids+=($second)
wait_for 200 panel_shown || fail "the second copy did not bring the panel forward"
wait_for 200 xdotool search --onlyvisible --name "lumevanta.exe\$" || fail "the second copy said nothing"
wait_for 30 told_to_end "$second" "lumevanta.exe\$" || fail "the second copy did not end"

# "Выход" ends the program; the placement file holds the panel's section, as on Linux.
choose $((start_x + 380)) $((start_y + 65)) 4
wait_for 100 bash -c "! kill -0 $first" || fail "the menu's exit did not end the program"
[ -f "$placement" ] || fail "no placement file at $placement"
x=$((start_x + 80)) y=$((start_y + 60))
norm="$x,$y,$((x + panel_width)),$((y + panel_height))"
expected=$(printf '[Tbrw721_frm]\r\nFormVersion=0\r\nFlags=0\r\nShowCmd=1\r\nPixelsPerInch=96\r\nMinMaxPos(1024x768)=-1,-1,-1,-1\r\nMinMaxPos=-1,-1,-1,-1\r\nNormPos(1024x768)=%s\r\nNormPos=%s\r\nVisible=1\r\n' "$norm" "$norm" | od -c)
[ "$(od -c < "$placement")" = "$expected" ] || fail "the placement file is not as expected: $(od -c < "$placement")"

# The next run's panel comes back where it was left.
start_program
eval "$(xdotool getwindowgeometry --shell "$panel")"
[ "$X,$Y" = "$x,$y" ] || fail "the next run's panel is at $X,$Y, not at $x,$y"
echo "ok: hidden to trayer and back by menu and click, second copy brought it forward, placement $norm kept over a restart"
