# Shared by the end-to-end tests that drive the program in a real X server: an Xvfb on a free
# display, the virtual recorder on a pseudo-terminal and window helpers.
# Sourced with $program, $recorder and $shots set.
source "$(dirname "${BASH_SOURCE[0]}")/../support/session.sh"
source "$(dirname "${BASH_SOURCE[0]}")/x11_windows.sh"
on_failure() { import -display "$DISPLAY" -window root "$shots/$(basename "$0" .sh)-failure.png" 2>/dev/null; }
shot() { import -display "$DISPLAY" -window root "$shots/$1.png" 2>/dev/null || true; }

private_desktop
start_xvfb
start_recorder "$recorder"
# Where the program finds its options when its working folder has none.
options_file=$XDG_CONFIG_HOME/lumevanta/options.ini

start_program() {
  mkdir -p "$work/cwd"
  (cd "$work/cwd" && exec "$program") > "$work/program-$1.log" 2>&1 &
  started=$!
  pids+=("$started")
}

start_window_manager() {
  openbox --sm-disable > "$work/openbox.log" 2>&1 &
  pids+=($!)
  managed() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
  eventually managed || fail "openbox did not start"
}
# A tray host, as a desktop panel would offer.
start_tray() {
  trayer --edge bottom --align right --widthtype pixel --width 200 --height 32 > "$work/trayer.log" 2>&1 &
  trayer=$!
  pids+=("$trayer")
  eventually xdotool search --name '^panel$' > /dev/null || fail "the tray host did not start"
}
panel_hidden() { [ -z "$(xdotool search --onlyvisible --name '^BRW721$' 2>/dev/null)" ]; }
# The program's tray icon, once the panel is hidden: then the icon is the program's only visible
# window. Waits until the tray host has put it in its place; prints its id.
tray_icon() {
  local id where last=""
  eventually panel_hidden || return 0
  for _ in $(seq 50); do
    id=$(xdotool search --onlyvisible --class lumevanta 2>/dev/null | head -n 1 || true)
    where=$([ -n "$id" ] && xdotool getwindowgeometry "$id" 2>/dev/null || true)
    [ -n "$where" ] && [ "$where" = "$last" ] && { echo "$id"; return 0; }
    last=$where
    sleep 0.1
  done
}
# Right-presses the icon until its menu opens (a press while the tray host still places the icon
# can miss it) and sets menu_x, menu_y and menu_h to where the menu is.
open_tray_menu() {
  local id
  for _ in 1 2 3; do
    xdotool mousemove --window "$1" 8 8 mousedown 3
    for _ in $(seq 30); do
      for id in $(xdotool search --onlyvisible --class lumevanta 2>/dev/null || true); do
        eval "$(xdotool getwindowgeometry --shell "$id")"
        if [ "$HEIGHT" -gt 60 ]; then
          menu_x=$X menu_y=$Y menu_h=$HEIGHT
          xdotool mouseup 3
          return 0
        fi
      done
      sleep 0.1
    done
    xdotool mouseup 3 key Escape
  done
  return 1
}
