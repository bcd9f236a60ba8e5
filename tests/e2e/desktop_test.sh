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
source "$(dirname "$0")/x11.sh"
start_tray

start_program first
first=$started
dialog=$(window_of "FIRST START.  Make settings before start")
[ -n "$dialog" ] || fail "the first start did not ask for the preferences"
sleep 0.3
shot desktop-first-start
# From OK, Tab reaches Cancel, the device type and then the port.
xdotool windowfocus --sync "$dialog"
xdotool key --delay 50 Tab Tab Tab ctrl+a
xdotool type --delay 20 "$work/port"
xdotool key Return
panel=$(window_of BRW721)
[ -n "$panel" ] || fail "the 721 panel did not appear after OK"
grep -q "$work/port   ; port" "$options_file" || fail "OK did not write the options file"
[ -e "$work/cwd/options.ini" ] && fail "the options file went to the working folder, not the settings folder"

# play_b lies at 405,62 and is 51 x 50.
xdotool mousemove --window "$panel" 430 87 click 1
eventually grep -q 'frame id=00 key=50 answer=X' "$work/recorder.log" || fail "the PLAY key did not reach the recorder"
sleep 0.3
shot desktop-721-ok-lamp

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
eventually grep -q 'vanished' "$work/recorder.log" || fail "the recorder did not vanish"
notice=""
for _ in $(seq 50); do notice=$(xdotool search --onlyvisible --name '^Lumevanta$' 2>/dev/null | head -n 1 || true); [ -n "$notice" ] && break; sleep 0.1; done
[ -n "$notice" ] || fail "losing the recorder was not told"
shot desktop-recorder-lost
xdotool windowfocus --sync "$notice" key Return 2>/dev/null || xdotool key Return
for _ in $(seq 30); do [ -z "$(xdotool search --onlyvisible --name '^Lumevanta$' 2>/dev/null)" ] && break; sleep 0.1; done
[ -z "$(xdotool search --onlyvisible --name '^Lumevanta$' 2>/dev/null)" ] || fail "the notice of the loss did not close"
xdotool mousemove --window "$panel" 430 87 click 1
shown=""
for _ in $(seq 15); do shown=$(lamp $noline_lamp); lit "$shown" "$dark_noline" && break; sleep 0.1; done
lit "$shown" "$dark_noline" || fail "a press without the recorder did not light noline ($shown, dark $dark_noline)"
shot desktop-721-noline-lamp

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
eventually panel_hidden || fail "min_b did not hide the panel"
icon=$(tray_icon)
[ -n "$icon" ] || fail "no tray icon appeared"
tip=$(xdotool getwindowname "$icon" 2>/dev/null || true)
[ "$tip" = Lumevanta ] || fail "the tray icon says '$tip', not Lumevanta"
shot desktop-in-tray
# A right press opens the menu at the icon; a left click brings the panel back.
open_tray_menu "$icon" || fail "a right press on the icon opened no menu"
sleep 0.3
xdotool key Escape # the menu may still hold the mouse
sleep 0.3
xdotool mousemove --window "$icon" 8 8 click 1
[ -n "$(window_of BRW721 --onlyvisible)" ] || fail "a click on the icon did not restore the panel"

# A second copy of the same program file is refused with a message and ends.
start_program second
second=$started
box=$(window_of Lumevanta "--all --pid $second")
[ -n "$box" ] || fail "the second copy showed no refusal"
shot desktop-second-copy
xdotool windowactivate --sync "$box" key Return 2>/dev/null || xdotool key Return
eventually gone "$second" || fail "the second copy did not end"
kill -0 "$first" 2>/dev/null || fail "the first copy did not survive the second"

# A copy that was killed leaves nothing behind that blocks the next start.
kill -9 "$first"
wait "$first" 2>/dev/null || true
start_program after-kill
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
eventually gone "$started" || fail "close_b did not end the program"
start_program after-close
panel=$(window_of BRW721)
[ -n "$panel" ] || fail "the program did not start again"
sleep 0.3
eval "$(xdotool getwindowgeometry --shell "$panel")"
[ "$X,$Y" = "$moved_x,$moved_y" ] || fail "the panel came back at $X,$Y, not at $moved_x,$moved_y"

# From the tray, the menu's last entry ("Exit") ends the program.
xdotool mousemove --window "$panel" 627 11 click 1
icon=$(tray_icon)
[ -n "$icon" ] || fail "no tray icon the second time"
open_tray_menu "$icon" || fail "the tray menu did not open"
sleep 0.3
xdotool mousemove $((menu_x + 40)) $((menu_y + menu_h - 10)) click 1
eventually gone "$started" || fail "Exit in the tray menu did not end the program"

# With the program gone, lumevanta-send finds the port and the model in the options file it wrote.
answer=$(cd "$work/cwd" && "$sender" play) || fail "lumevanta-send with the program's settings failed: $answer"
[ "$answer" = "play: ok" ] || fail "lumevanta-send printed '$answer'"

echo "1 passed, 0 failed"
