#!/usr/bin/env bash
# The program under a window manager (openbox) with no tray host at all, and a session bus that takes
# connections and never answers: the panel still comes up at once; the minimise button minimises it,
# it stays in the window list and can be restored from there, and a second launch brings it back.
#   no_tray_test.sh LUMEVANTA VIRTUAL_RECORDER SCREENSHOT_DIR
set -euo pipefail
program=$1 recorder=$2 shots=$3
source "$(dirname "$0")/x11.sh"

start_window_manager
socat -u "UNIX-LISTEN:$work/silent-bus,fork" OPEN:/dev/null > "$work/silent-bus.log" 2>&1 &
pids+=($!)
eventually test -S "$work/silent-bus" || fail "the silent bus did not start"
export DBUS_SESSION_BUS_ADDRESS=unix:path=$work/silent-bus

write_options "$options_file" BRW721 yes
began=$(date +%s%N)
start_program first
first=$started
[ -n "$(window_of BRW721 --onlyvisible)" ] || fail "the panel did not appear"
took=$((($(date +%s%N) - began) / 1000000))
echo "the panel appeared after $took ms"
# A second for the bus, the rest for a start-up under the sanitizers on a busy machine.
[ "$took" -lt 5000 ] || fail "the panel took $took ms to appear"
grep -q "session bus .* does not answer" "$work/program-first.log" || fail "the silent bus was not noticed"

# min_b (616,4, 22 x 14): with nowhere to hide to, the panel is minimised and stays in the window list.
xdotool mousemove --window "$(panel)" 627 11 click 1
iconic() { [ "$(wm_state "$(panel)")" = Iconic ]; }
eventually iconic || fail "min_b did not minimise the panel (state '$(wm_state "$(panel)")')"
xprop -root _NET_CLIENT_LIST | grep -q "$(printf '0x%x' "$(panel)")" || fail "the minimised panel is not in the window list"
xprop -id "$(panel)" _NET_WM_STATE | grep -q _NET_WM_STATE_HIDDEN || fail "the window manager does not show the panel as minimised"
[ -z "$(xdotool search --onlyvisible --class lumevanta 2>/dev/null)" ] || fail "something of the program is still on the screen"
shot no-tray-minimised

# Restored from the window list, as a task bar does, it minimises again.
xdotool windowactivate --sync "$(panel)" 2>/dev/null || xdotool windowmap "$(panel)"
normal() { [ "$(wm_state "$(panel)")" = Normal ] && [ -n "$(xdotool search --onlyvisible --name '^BRW721$')" ]; }
eventually normal || fail "the window list did not restore the panel"
xdotool mousemove --window "$(panel)" 627 11 click 1
eventually iconic || fail "restored by the window manager, the panel did not minimise again"

# A second launch brings it back before it says the program is running and ends.
start_program second
second=$started
eventually normal || fail "a second launch did not bring the panel back"
box=$(window_of Lumevanta "--all --pid $second")
[ -n "$box" ] || fail "the second copy showed no message"
shot no-tray-second-launch
xdotool windowactivate --sync "$box" key Return 2>/dev/null || xdotool key Return
eventually gone "$second" || fail "the second copy did not end"
kill -0 "$first" 2>/dev/null || fail "the first copy did not survive"

echo "1 passed, 0 failed"
