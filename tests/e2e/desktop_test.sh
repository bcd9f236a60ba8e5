#!/usr/bin/env bash
# Drives the real program in a real X server as a new user of an English desktop would: the first
# start asks for the preferences in English, OK saves them in the settings folder and shows the
# chosen panel, a click on a painted key reaches the virtual recorder and its answer lights the
# panel, and so do key presses once the click gave it the keyboard; lumevanta-send is refused while
# the program holds the port, and uses its settings once it ends; the recorder vanishing and coming
# back needs no restart; a second copy is refused; a killed copy does not block the next.
#   desktop_test.sh LUMEVANTA VIRTUAL_RECORDER SCREENSHOT_DIR LUMEVANTA_SEND
set -euo pipefail
program=$1 recorder=$2 shots=$3 sender=$4
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; [ -f "$work/trayer.log" ] && sed "s/^/  trayer: /" "$work/trayer.log"; import -display "$DISPLAY" -window root "$shots/desktop-failure.png" 2>/dev/null; [ -f "$work/recorder.log" ] && sed 's/^/  recorder: /' "$work/recorder.log"; exit 1; }

# A private lock folder, so a copy the developer is running elsewhere does not count.
export XDG_RUNTIME_DIR=$work/runtime XDG_CONFIG_HOME=$work/config
mkdir -m 700 "$XDG_RUNTIME_DIR"
export LANG=C.UTF-8
unset LC_ALL LC_MESSAGES

exec 3> "$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp > "$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=:$(cat "$work/display")
unset WAYLAND_DISPLAY
export QT_QPA_PLATFORM=xcb

# A tray host, as a desktop panel would offer.
trayer --edge bottom --align right --widthtype pixel --width 200 --height 32 > "$work/trayer.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do xdotool search --name '^panel$' > /dev/null 2>&1 && break; sleep 0.1; done

"$recorder" --link "$work/port" > "$work/recorder.log" 2>&1 &
recorder_pid=$!
pids+=("$recorder_pid")
for _ in $(seq 100); do [ -e "$work/port" ] && break; sleep 0.05; done

start_program() { (cd "$work" && exec "$program") & started=$!; pids+=("$started"); }
window_of() { for _ in $(seq 100); do xdotool search --name "^$1\$" 2>/dev/null | head -n 1 && return; sleep 0.1; done; }

start_program
first=$started
dialog=$(window_of "FIRST START.  Make settings before start")
[ -n "$dialog" ] || fail "the first start did not ask for the preferences"
sleep 0.3
import -display "$DISPLAY" -window root "$shots/desktop-first-start.png" 2>/dev/null || true
# From OK, Tab reaches Cancel, the device type and then the port.
xdotool windowfocus --sync "$dialog"
xdotool key --delay 50 Tab Tab Tab ctrl+a
xdotool type --delay 20 "$work/port"
xdotool key Return
panel=$(window_of BRW721)
[ -n "$panel" ] || fail "the 721 panel did not appear after OK"
grep -q "$work/port   ; port" "$XDG_CONFIG_HOME/lumevanta/options.ini" || fail "OK did not write the options file"
[ -e "$work/options.ini" ] && fail "the options file went to the working folder, not the settings folder"

# play_b lies at 405,62 and is 51 x 50.
xdotool mousemove --window "$panel" 430 87 click 1
for _ in $(seq 50); do grep -q 'key=50 answer=X' "$work/recorder.log" && break; sleep 0.1; done
grep -q 'frame id=00 key=50 answer=X' "$work/recorder.log" || fail "the PLAY key did not reach the recorder"
sleep 0.3
import -display "$DISPLAY" -window root "$shots/desktop-721-ok-lamp.png" 2>/dev/null || true

# The click gave the frameless panel the keyboard: Space is PLAY, both Enter keys are ENTER, Up is up.
frames() { grep -c "frame id=00 key=$1 answer=X" "$work/recorder.log" || true; }
expect_frames() {
  for _ in $(seq 50); do [ "$(frames "$1")" -ge "$2" ] && return; sleep 0.1; done
  fail "$3"
}
xdotool key space
expect_frames 50 2 "Space did not send PLAY"
xdotool key Return
expect_frames 0D 1 "Enter did not send ENTER"
xdotool key KP_Enter
expect_frames 0D 2 "keypad Enter did not send ENTER"
# A key held down repeats; it is still one press.
xdotool keydown Up
sleep 1
xdotool keyup Up
expect_frames 55 1 "Up did not send up"
sleep 0.3
[ "$(frames 55)" -eq 1 ] || fail "a held key sent $(frames 55) frames"

# The program holds the port: lumevanta-send is refused and says why.
status=0
"$sender" --port "$work/port" --model BRW721 play > "$work/send.log" 2>&1 || status=$?
[ "$status" -eq 3 ] || fail "lumevanta-send beside the program ended with $status, not 3"
grep -q "in use by another program" "$work/send.log" || fail "lumevanta-send did not say the port is in use: $(cat "$work/send.log")"

# How bright a lamp of the panel is now, 0 to 1: lt_ok lies at 144,36 (29 x 27), lt_noline at 187,36 (33 x 27).
lamp() { import -display "$DISPLAY" -window "$panel" -crop "$1" png:- 2>/dev/null | convert - -format '%[fx:mean]' info:; }
lit() { awk -v now="$1" -v dark="$2" 'BEGIN { exit !(now > dark + 0.05) }'; }
ok_lamp=29x27+144+36 noline_lamp=33x27+187+36
sleep 2.2 # the ok lamp goes dark
dark_ok=$(lamp $ok_lamp) dark_noline=$(lamp $noline_lamp)

# The recorder goes away as an unplugged adapter does: one notice, and a press lights noline.
plays_before=$(frames 50)
kill -USR1 "$recorder_pid"
for _ in $(seq 50); do grep -q 'vanished' "$work/recorder.log" && break; sleep 0.1; done
notice=""
for _ in $(seq 50); do notice=$(xdotool search --onlyvisible --name '^Lumevanta$' 2>/dev/null | head -n 1 || true); [ -n "$notice" ] && break; sleep 0.1; done
[ -n "$notice" ] || fail "losing the recorder was not told"
import -display "$DISPLAY" -window root "$shots/desktop-recorder-lost.png" 2>/dev/null || true
xdotool windowfocus --sync "$notice" key Return 2>/dev/null || xdotool key Return
for _ in $(seq 30); do [ -z "$(xdotool search --onlyvisible --name '^Lumevanta$' 2>/dev/null)" ] && break; sleep 0.1; done
[ -z "$(xdotool search --onlyvisible --name '^Lumevanta$' 2>/dev/null)" ] || fail "the notice of the loss did not close"
xdotool mousemove --window "$panel" 430 87 click 1
shown=""
for _ in $(seq 15); do shown=$(lamp $noline_lamp); lit "$shown" "$dark_noline" && break; sleep 0.1; done
lit "$shown" "$dark_noline" || fail "a press without the recorder did not light noline ($shown, dark $dark_noline)"
import -display "$DISPLAY" -window root "$shots/desktop-721-noline-lamp.png" 2>/dev/null || true

# It comes back at the same link; the next press is answered, with no restart.
kill -USR2 "$recorder_pid"
for _ in $(seq 50); do [ "$(grep -c '^device: ' "$work/recorder.log")" -ge 2 ] && [ -e "$work/port" ] && break; sleep 0.1; done
[ -e "$work/port" ] || fail "the recorder did not come back"
sleep 2.2 # the noline lamp goes dark
xdotool mousemove --window "$panel" 430 87 click 1
for _ in $(seq 50); do [ "$(frames 50)" -gt "$plays_before" ] && break; sleep 0.1; done
[ "$(frames 50)" -gt "$plays_before" ] || fail "the recorder that came back did not get the press"
shown=""
for _ in $(seq 15); do shown=$(lamp $ok_lamp); lit "$shown" "$dark_ok" && break; sleep 0.1; done
lit "$shown" "$dark_ok" || fail "the answer of the recorder that came back did not light ok ($shown, dark $dark_ok)"
[ -z "$(xdotool search --onlyvisible --name '^Lumevanta$' 2>/dev/null)" ] || fail "the recorder's return popped something up"
kill -0 "$first" 2>/dev/null || fail "the program did not live through the recorder's absence"

# min_b (616,4, 22 x 14) hides the panel to the tray; the icon appears with its tip.
xdotool mousemove --window "$panel" 627 11 click 1
for _ in $(seq 50); do [ -z "$(xdotool search --onlyvisible --name '^BRW721$' 2>/dev/null)" ] && break; sleep 0.1; done
[ -z "$(xdotool search --onlyvisible --name '^BRW721$' 2>/dev/null)" ] || fail "min_b did not hide the panel"
icon=""
# With the panel hidden, the program's only visible window is its tray icon.
for _ in $(seq 50); do icon=$(xdotool search --onlyvisible --class lumevanta 2>/dev/null | head -n 1 || true); [ -n "$icon" ] && break; sleep 0.1; done
[ -n "$icon" ] || fail "no tray icon appeared"
tip=$(xdotool getwindowname "$icon" 2>/dev/null || true)
[ "$tip" = Lumevanta ] || fail "the tray icon says '$tip', not Lumevanta"
import -display "$DISPLAY" -window root "$shots/desktop-in-tray.png" 2>/dev/null || true
# A right press opens the menu at the icon; a left click brings the panel back.
xdotool mousemove --window "$icon" 8 8 mousedown 3
sleep 0.5
menus=$(xdotool search --onlyvisible --class lumevanta 2>/dev/null | wc -l || true)
xdotool mouseup 3
[ "$menus" -ge 2 ] || fail "a right press on the icon opened no menu"
sleep 0.3
xdotool key Escape # the menu may still hold the mouse
sleep 0.3
xdotool mousemove --window "$icon" 8 8 click 1
for _ in $(seq 50); do [ -n "$(xdotool search --onlyvisible --name '^BRW721$' 2>/dev/null)" ] && break; sleep 0.1; done
[ -n "$(xdotool search --onlyvisible --name '^BRW721$' 2>/dev/null)" ] || fail "a click on the icon did not restore the panel"

# A second copy of the same program file is refused with a message and ends.
(cd "$work" && exec "$program") > "$work/second.log" 2>&1 &
second=$!
pids+=("$second")
box=$(window_of "$program")
[ -n "$box" ] || fail "the second copy showed no refusal"
import -display "$DISPLAY" -window root "$shots/desktop-second-copy.png" 2>/dev/null || true
xdotool windowactivate --sync "$box" key Return 2>/dev/null || xdotool key Return
for _ in $(seq 50); do kill -0 "$second" 2>/dev/null || break; sleep 0.1; done
kill -0 "$second" 2>/dev/null && fail "the second copy did not end"
kill -0 "$first" 2>/dev/null || fail "the first copy did not survive the second"

# A copy that was killed leaves nothing behind that blocks the next start.
kill -9 "$first"
wait "$first" 2>/dev/null || true
start_program
panel=$(window_of BRW721)
[ -n "$panel" ] || fail "a start after a killed copy was refused"

# A panel dragged by its skin and closed with close_b (638,4, 20 x 14) comes back where it was left.
eval "$(xdotool getwindowgeometry --shell "$panel")"
start_x=$X start_y=$Y
xdotool mousemove --window "$panel" 300 20 mousedown 1 mousemove_relative --sync 60 40 mouseup 1
sleep 0.3
eval "$(xdotool getwindowgeometry --shell "$panel")"
moved_x=$X moved_y=$Y
[ "$moved_x" != "$start_x" ] || fail "the panel did not follow the mouse"
xdotool mousemove --window "$panel" 648 11 click 1
for _ in $(seq 50); do kill -0 "$started" 2>/dev/null || break; sleep 0.1; done
kill -0 "$started" 2>/dev/null && fail "close_b did not end the program"
start_program
panel=$(window_of BRW721)
[ -n "$panel" ] || fail "the program did not start again"
sleep 0.3
eval "$(xdotool getwindowgeometry --shell "$panel")"
[ "$X,$Y" = "$moved_x,$moved_y" ] || fail "the panel came back at $X,$Y, not at $moved_x,$moved_y"

# From the tray, the menu's last entry ("Exit") ends the program.
xdotool mousemove --window "$panel" 627 11 click 1
icon=""
for _ in $(seq 50); do icon=$(xdotool search --onlyvisible --class lumevanta 2>/dev/null | head -n 1 || true); [ -n "$icon" ] && break; sleep 0.1; done
[ -n "$icon" ] || fail "no tray icon the second time"
xdotool mousemove --window "$icon" 8 8 mousedown 3
menu=""
for _ in $(seq 50); do
  for id in $(xdotool search --onlyvisible --class lumevanta 2>/dev/null || true); do
    eval "$(xdotool getwindowgeometry --shell "$id")"
    [ "$HEIGHT" -gt 60 ] && menu_x=$X menu_y=$Y menu_h=$HEIGHT && menu=$id
  done
  [ -n "$menu" ] && break
  sleep 0.1
done
xdotool mouseup 3
[ -n "$menu" ] || fail "the tray menu did not open"
sleep 0.3
xdotool mousemove $((menu_x + 40)) $((menu_y + menu_h - 10)) click 1
for _ in $(seq 50); do kill -0 "$started" 2>/dev/null || break; sleep 0.1; done
kill -0 "$started" 2>/dev/null && fail "Exit in the tray menu did not end the program"

# With the program gone, lumevanta-send finds the port and the model in the options file it wrote.
answer=$(cd "$work" && "$sender" play) || fail "lumevanta-send with the program's settings failed: $answer"
[ "$answer" = "play: ok" ] || fail "lumevanta-send printed '$answer'"

echo "1 passed, 0 failed"
