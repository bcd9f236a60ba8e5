# Shared by the end-to-end tests that drive the program in a real X server: a private work folder,
# an Xvfb on a free display, the virtual recorder on a pseudo-terminal and window helpers.
# Sourced with $program, $recorder and $shots set.
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  import -display "$DISPLAY" -window root "$shots/$(basename "$0" .sh)-failure.png" 2>/dev/null
  for log in "$work"/*.log; do sed "s|^|  $(basename "$log" .log): |" "$log"; done
  exit 1
}
shot() { import -display "$DISPLAY" -window root "$shots/$1.png" 2>/dev/null || true; }

# A private lock folder and settings folder, so a copy the developer is running elsewhere does not count.
export XDG_RUNTIME_DIR=$work/runtime XDG_CONFIG_HOME=$work/config
mkdir -m 700 "$XDG_RUNTIME_DIR"
# The tools read window names in UTF-8; the program itself gets its language from options.ini.
export LANG=C.UTF-8
unset LC_ALL LC_MESSAGES WAYLAND_DISPLAY

exec 3> "$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp > "$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
[ -s "$work/display" ] || { cat "$work/xvfb.log"; echo "FAIL: Xvfb did not start"; exit 1; }
export DISPLAY=:$(cat "$work/display")
export QT_QPA_PLATFORM=xcb

"$recorder" --link "$work/port" > "$work/recorder.log" 2>&1 &
recorder_pid=$!
pids+=("$recorder_pid")
for _ in $(seq 100); do [ -e "$work/port" ] && break; sleep 0.05; done

# An options file in the settings folder (the working folder has none): an English BRW721 on the
# recorder's line, always on top.
write_options() {
  mkdir -p "$XDG_CONFIG_HOME/lumevanta"
  printf '%s\r\n' "BRW721          ; hardware type" "no   ; show hints" "yes   ; always on top" \
    "$work/port   ; port" "9600   ; baudrate" "0     ; ID, decimal format" "1     ; language " "" "" "" \
    > "$XDG_CONFIG_HOME/lumevanta/options.ini"
}

start_program() {
  mkdir -p "$work/cwd"
  (cd "$work/cwd" && exec "$program") > "$work/program-$1.log" 2>&1 &
  started=$!
  pids+=("$started")
}
# Waits for a window whose whole name is given; prints its id.
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
# Waits until a command succeeds, for up to five seconds.
eventually() { for _ in $(seq 50); do "$@" && return 0; sleep 0.1; done; return 1; }
gone() { ! kill -0 "$1" 2>/dev/null; }

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
