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
pids+=($!)
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
