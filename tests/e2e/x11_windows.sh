# Window helpers for the end-to-end tests on an X server (Xvfb, or Xwayland under mutter). Sourced.

# Waits for a window whose whole name is given (and, with --all, whatever else the second argument
# asks of it); prints its id.
window_of() {
  for _ in $(seq 100); do xdotool search ${2:-} --name "^$1\$" 2>/dev/null | head -n 1 && return; sleep 0.1; done
}
# A panel's window is made anew when its always-on-top style changes: look it up every time.
panel() { xdotool search --name '^BRW721$' 2>/dev/null | head -n 1; }
position() {
  eval "$(xdotool getwindowgeometry --shell "$1")"
  echo "$X,$Y"
}
# The ICCCM state the window manager gives a window: Normal or Iconic.
wm_state() { xprop -id "$1" WM_STATE 2>/dev/null | sed -n 's/.*window state: //p'; }
