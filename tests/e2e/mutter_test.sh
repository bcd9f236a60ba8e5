#!/usr/bin/env bash
# The program under GNOME's compositor, mutter, headless with Xwayland, as a GNOME session has it.
# By default it runs on X11: always on top keeps the panel above another window, and a second start
# brings a minimised panel back. Asked for Wayland itself, it starts, the minimise key does not lose
# the panel, and the positions an X11 run stored stay as they were.
#   mutter_test.sh LUMEVANTA VIRTUAL_RECORDER [SCREENSHOTS]
set -euo pipefail
program=$1 recorder=$2
here=$(dirname "$0")
source "$here/../support/session.sh"
source "$here/x11_windows.sh"

private_desktop
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
export XDG_CURRENT_DESKTOP=GNOME
# mutter offers its remote-desktop interface, which types the keys below, on the session bus.
dbus-daemon --session --nofork --nopidfile --print-address=3 3> "$work/bus" 2> "$work/dbus.log" &
pids+=($!)
eventually test -s "$work/bus" || fail "the session bus did not start"
export DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$work/bus")
mutter --headless --wayland --virtual-monitor 1024x768 --wayland-display lumevanta-mutter > "$work/mutter.log" 2>&1 &
pids+=($!)
eventually grep -q "Using public X11 display" "$work/mutter.log" || fail "mutter did not start Xwayland"
export WAYLAND_DISPLAY=lumevanta-mutter
export DISPLAY=$(sed -n 's/.*Using public X11 display \(:[0-9]*\).*/\1/p' "$work/mutter.log")
export XAUTHORITY=$(ls "$XDG_RUNTIME_DIR"/.mutter-Xwaylandauth.* | head -n 1)

start_recorder "$recorder"
write_options "$XDG_CONFIG_HOME/lumevanta/options.ini" BRW721 yes
placement=$XDG_CONFIG_HOME/lumevanta/$(basename "$program").INI
start_program() {
  mkdir -p "$work/cwd"
  (cd "$work/cwd" && exec "$program" "${@:2}") > "$work/program-$1.log" 2>&1 &
  started=$!
  pids+=("$started")
}

# With WAYLAND_DISPLAY and DISPLAY both set and no platform asked for, the panel is an X11 window.
start_program first
first=$started
[ -n "$(window_of BRW721 --onlyvisible)" ] || fail "the panel is not an X11 window on $DISPLAY"

# Always on top: another window activated over it leaves the panel above it.
xmessage -geometry 1024x768+0+0 -title other "another program" > "$work/xmessage.log" 2>&1 &
other_pid=$!
pids+=("$other_pid")
other=$(window_of other --onlyvisible)
[ -n "$other" ] || fail "the other window did not appear"
xdotool windowactivate "$other" 2>/dev/null || true
# The window manager's stacking order, bottom first, one id a line.
stacking() { xprop -root _NET_CLIENT_LIST_STACKING | grep -o '0x[0-9a-f]*' | xargs printf '%d\n'; }
place_in_stack() { stacking | grep -n "^$1\$" | cut -d: -f1; }
above() {
  local p o
  p=$(place_in_stack "$(panel)") o=$(place_in_stack "$other")
  [ -n "$p" ] && [ -n "$o" ] && [ "$p" -gt "$o" ]
}
eventually above || fail "with always on top the panel is not above the other window: $(stacking | tr '\n' ' ')"

# The preferences (Ctrl+P) put the panel down to the normal band and OK back on top: it stays where
# it is, as mutter would place a window made anew somewhere else.
before_move=$(position "$(panel)")
xdotool windowmove "$(panel)" 120 40
moved() { [ "$(position "$(panel)")" != "$before_move" ]; }
eventually moved || fail "mutter did not move the panel"
xdotool windowactivate "$(panel)" 2>/dev/null || true
at=$(position "$(panel)")
xdotool key ctrl+p
dialog=$(window_of Preferences --onlyvisible)
[ -n "$dialog" ] || fail "Ctrl+P on the panel opened no preferences"
[ "$(position "$(panel)")" = "$at" ] || fail "with the preferences open the panel moved from $at to $(position "$(panel)")"
xdotool windowactivate "$dialog" 2>/dev/null || true
xdotool key Return
closed() { [ -z "$(xdotool search --onlyvisible --name '^Preferences$' 2>/dev/null)" ]; }
eventually closed || fail "OK did not close the preferences"
eventually above || fail "after OK the panel is not above the other window again"
[ "$(position "$(panel)")" = "$at" ] || fail "after OK the panel moved from $at to $(position "$(panel)")"

# Minimised by the desktop, it comes back with a second start, which then says so and ends.
xdotool windowminimize "$(panel)"
iconic() { [ "$(wm_state "$(panel)")" = Iconic ]; }
eventually iconic || fail "mutter did not minimise the panel (state '$(wm_state "$(panel)")')"
start_program second
second=$started
normal() { [ "$(wm_state "$(panel)")" = Normal ]; }
eventually normal || fail "a second start did not bring the minimised panel back"
box=$(window_of Lumevanta "--all --onlyvisible --pid $second")
[ -n "$box" ] || fail "the second start showed no message"
# Return goes to the box only once it has the focus; the panel would take it as its ENTER key.
box_active() { xdotool windowactivate "$box" 2>/dev/null; [ "$(xdotool getactivewindow 2>/dev/null)" = "$box" ]; }
eventually box_active || fail "the second start's message did not take the focus"
xdotool key Return
eventually gone "$second" || fail "the second start did not end"
kill -TERM "$first"
eventually gone "$first" || fail "the program did not end on SIGTERM"
stored=$(grep -i '^NormPos' "$placement" || true)
[ -n "$stored" ] || fail "the X11 run stored no position"

# Wayland itself: the compositor places the panel; the minimise key (Ctrl+H) must not lose it, so
# the keys after it still reach the panel, and the positions above stay.
kill "$other_pid"
# Its Wayland traffic is logged, to see the activation token handed to mutter.
WAYLAND_DEBUG=1 start_program wayland -platform wayland
wayland=$started
line=$(readlink -f "$work/port")
opened() { ls -l "/proc/$wayland/fd" 2>/dev/null | grep -q -- "-> $line\$"; }
eventually opened || fail "on Wayland the program did not open $line"
frames() { grep -c 'frame id=00 key=50 answer=X' "$work/recorder.log" || true; }
mkfifo "$work/keys"
/usr/bin/python3 "$here/mutter_keys.py" < "$work/keys" 2> "$work/keys.log" &
pids+=($!)
exec 4> "$work/keys"
# Space (PLAY) is typed until a frame arrives: then the panel has the remote keyboard. After the
# minimise key a second one still arrives only if the panel was not minimised.
press_until_a_frame() {
  local before
  before=$(frames)
  for _ in $(seq 10); do
    echo space >&4
    for _ in $(seq 10); do [ "$(frames)" -gt "$before" ] && return 0; sleep 0.1; done
  done
  return 1
}
press_until_a_frame || fail "on Wayland the panel never took the keyboard"
echo ctrl+h >&4
# The key acts on its release, a moment later: a press at once may still come before it.
for _ in 1 2; do
  press_until_a_frame || fail "after the minimise key the panel no longer takes keys (minimised into nowhere?)"
done
# A second start from a launcher hands its activation token to the running copy, which gives it
# to mutter with its panel. The second copy's message waits for a key; it is ended here.
XDG_ACTIVATION_TOKEN=launcher-token-21 start_program second-wayland -platform wayland
activated() { grep -q 'xdg_activation_v1@[0-9]*\.activate("launcher-token-21"' "$work/program-wayland.log"; }
eventually activated || fail "the running copy did not hand the second start's token to mutter"
kill "$started"
exec 4>&-
kill -TERM "$wayland"
eventually gone "$wayland" || fail "on Wayland the program did not end on SIGTERM"
[ "$(grep -i '^NormPos' "$placement")" = "$stored" ] ||
  fail "the Wayland run changed the stored positions: $(grep -i '^NormPos' "$placement" | tr '\n' ' ')"
grep -A12 -i '^\[Tbrw721_frm\]' "$placement" | grep -q '^ShowCmd=1' || fail "the panel was left minimised on Wayland"

echo "1 passed, 0 failed"
