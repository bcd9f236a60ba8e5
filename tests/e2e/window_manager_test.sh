#!/usr/bin/env bash
# The program under a real window manager (openbox) with a tray host: the panel first shows where
# it was left, dragging the skin moves it, always-on-top keeps it above another window, Preferences -> OK and a restore from the tray
# leave it where it was dragged, the dialog cannot be maximised, and when the tray goes away the
# panel hidden there comes back minimised, where a second launch brings it forward; the place it was
# dragged to is saved once it comes to rest, so the display going away loses nothing.
#   window_manager_test.sh LUMEVANTA VIRTUAL_RECORDER SCREENSHOT_DIR
set -euo pipefail
program=$1 recorder=$2 shots=$3
source "$(dirname "$0")/x11.sh"

start_window_manager
start_tray

write_options "$options_file" BRW721 yes
# Where the panel was left in an earlier run.
printf '[Tbrw721_frm]\r\nNormPos=100,120,763,290\r\n' > "$XDG_CONFIG_HOME/lumevanta/lumevanta.INI"
start_program first
first=$started
[ -n "$(window_of BRW721 --onlyvisible)" ] || fail "the panel did not appear"
[ "$(position "$(panel)")" = 100,120 ] || fail "the panel first showed at $(position "$(panel)"), not where it was left"

# Always on top: another window that has the focus and covers the panel stays below it.
xmessage -geometry 900x600+0+0 -name other "another window" > /dev/null 2>&1 &
pids+=($!)
other=$(window_of other)
[ -n "$other" ] || other=$(xdotool search --classname '^other$' | head -n 1)
[ -n "$other" ] || fail "the other window did not appear"
xdotool windowactivate --sync "$other"
above_other() {
  local stacking p o
  stacking=$(xprop -root _NET_CLIENT_LIST_STACKING | sed 's/.*# //; s/,//g')
  p=$(printf '0x%x' "$(panel)")
  o=$(printf '0x%x' "$other")
  # Bottom to top: the panel must come after the other window.
  [[ " $stacking " == *" $o "*" $p "* ]]
}
eventually above_other || fail "the panel is not above the active window: $(xprop -root _NET_CLIENT_LIST_STACKING)"
shot wm-on-top
xdotool windowkill "$other"

# Dragging the skin moves the panel.
before=$(position "$(panel)")
xdotool mousemove --window "$(panel)" 300 20 mousedown 1 sleep 0.2 mousemove_relative --sync 30 20 sleep 0.1 \
  mousemove_relative --sync 30 20 sleep 0.2 mouseup 1
moved() { [ "$(position "$(panel)")" != "$before" ]; }
eventually moved || fail "dragging the skin did not move the panel from $before"
dragged=$(position "$(panel)")
IFS=, read -r bx by <<< "$before"
[ "$dragged" = "$((bx + 60)),$((by + 40))" ] || fail "the panel went to $dragged, not 60,40 from $before"
# Come to rest, the panel's place is saved at once: however the program ends later, it stays.
placement=$XDG_CONFIG_HOME/lumevanta/lumevanta.INI
eventually grep -q "^NormPos=$dragged," "$placement" || fail "the place it was dragged to was not saved: $(cat "$placement")"

# Preferences (options_b at 594,5, 22 x 13) and OK: the panel stays where it was dragged.
xdotool mousemove --window "$(panel)" 605 11 click 1
dialog=$(window_of Preferences --onlyvisible)
[ -n "$dialog" ] || fail "the options button opened no dialog"
actions=$(xprop -id "$dialog" _NET_WM_ALLOWED_ACTIONS)
[[ "$actions" != *MAXIMIZE* ]] || fail "the dialog can be maximised: $actions"
hints=$(xprop -id "$dialog" WM_NORMAL_HINTS)
min=$(sed -n 's/.*minimum size: //p' <<< "$hints") max=$(sed -n 's/.*maximum size: //p' <<< "$hints")
[ -n "$min" ] && [ "$min" = "$max" ] || fail "the dialog is not fixed in size: $hints"
shot wm-preferences
xdotool windowactivate --sync "$dialog" key Return
closed() { [ -z "$(xdotool search --onlyvisible --name '^Preferences$' 2>/dev/null)" ]; }
eventually closed || fail "OK did not close the dialog"
sleep 0.3 # the window manager maps the panel again after its change of style
[ "$(position "$(panel)")" = "$dragged" ] || fail "after OK the panel is at $(position "$(panel)"), not $dragged"

# Hidden to the tray (min_b at 616,4, 22 x 14) and restored with a click on the icon: still there.
xdotool mousemove --window "$(panel)" 627 11 click 1
eventually panel_hidden || fail "min_b did not hide the panel to the tray"
icon=$(tray_icon)
[ -n "$icon" ] || fail "no tray icon appeared"
xdotool mousemove --window "$icon" 8 8 click 1
[ -n "$(window_of BRW721 --onlyvisible)" ] || fail "a click on the icon did not restore the panel"
sleep 0.3
[ "$(position "$(panel)")" = "$dragged" ] || fail "after the restore the panel is at $(position "$(panel)"), not $dragged"

# The tray goes away while the panel is hidden there: the panel comes back minimised.
xdotool mousemove --window "$(panel)" 627 11 click 1
eventually panel_hidden || fail "min_b did not hide the panel the second time"
kill "$trayer"
iconic() { [ "$(wm_state "$(panel)")" = Iconic ]; }
for _ in $(seq 40); do iconic && break; sleep 0.1; done
iconic || fail "with the tray gone the panel is not minimised (state '$(wm_state "$(panel)")')"
xprop -root _NET_CLIENT_LIST | grep -q "$(printf '0x%x' "$(panel)")" || fail "the minimised panel is not in the window list"
shot wm-tray-gone

# A second launch brings it forward, then says the program is running and ends.
start_program second
second=$started
normal() { [ "$(wm_state "$(panel)")" = Normal ]; }
eventually normal || fail "a second launch did not bring the panel back"
box=$(window_of Lumevanta "--all --pid $second")
[ -n "$box" ] || fail "the second copy showed no message"
grep -q "lumevanta: Lumevanta: The program is already running" "$work/program-second.log" ||
  fail "the second copy's message is not on its stderr"
xdotool windowactivate --sync "$box" key Return 2>/dev/null || xdotool key Return
eventually gone "$second" || fail "the second copy did not end"
kill -0 "$first" 2>/dev/null || fail "the first copy did not survive the second"

# The display goes away: the program ends with it and the place is still the one it was left at.
kill "$xvfb_pid"
eventually gone "$first" || fail "the program outlived its display"
grep -q "^NormPos=$dragged," "$placement" || fail "with the display gone the place is lost: $(cat "$placement")"

echo "1 passed, 0 failed"
