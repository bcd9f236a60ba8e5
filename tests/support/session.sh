# Shared by the tests that run the real programs: a private work folder whose processes end with
# the test, failures that show every log, and a few waiting helpers. Sourced.
work=$(mktemp -d)
pids=()
# A test may define on_cleanup to end what it started otherwise (a wine server) or left elsewhere.
cleanup() {
  if declare -F on_cleanup > /dev/null; then on_cleanup; fi
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
# A test may define on_failure to keep more evidence (a screenshot) before the logs are shown.
fail() {
  echo "FAIL: $*"
  if declare -F on_failure > /dev/null; then on_failure; fi
  for log in "$work"/*.log; do [ -f "$log" ] && sed "s|^|  $(basename "$log" .log): |" "$log"; done
  exit 1
}
# Waits until a command succeeds, for up to five seconds.
eventually() { for _ in $(seq 50); do "$@" && return 0; sleep 0.1; done; return 1; }
gone() { ! kill -0 "$1" 2>/dev/null; }
# Waits up to $1 tenths of a second for a command to succeed, its output thrown away.
wait_for() {
  local tenths=$1
  shift
  for _ in $(seq "$tenths"); do
    "$@" > /dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}
# One Return to the shown window whose name matches $2, then whether process $1 has ended; under
# wait_for it is told again while it is still there (wine may make a box's X window anew). The key
# is let go of at the server too: one left held would repeat into the next window that takes the
# focus (and end a drag of the panel, or a notice box, at once).
told_to_end() {
  local box
  box=$(xdotool search --onlyvisible --name "$2" | head -n 1)
  [ -z "$box" ] || xdotool key --window "$box" Return keyup Return
  sleep 0.3
  gone "$1"
}
# The colour of one pixel of a picture: pixel FILE X Y.
pixel() { convert "$1" -format "%[pixel:p{$2,$3}]" info:; }

# A private lock folder and settings folder, so a copy the developer is running elsewhere does not
# count. The tools read window names in UTF-8; the program gets its language from options.ini.
private_desktop() {
  export XDG_RUNTIME_DIR=$work/runtime XDG_CONFIG_HOME=$work/config LANG=C.UTF-8
  mkdir -p -m 700 "$XDG_RUNTIME_DIR"
  unset LC_ALL LC_MESSAGES
}

# An X server of the test's own on a free display: start_xvfb [WIDTHxHEIGHT].
start_xvfb() {
  exec 3> "$work/display"
  Xvfb -displayfd 3 -screen 0 "${1:-1024x768}x24" -nolisten tcp > "$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  pids+=("$xvfb_pid")
  for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
  [ -s "$work/display" ] || fail "Xvfb did not start"
  export DISPLAY=:$(cat "$work/display") QT_QPA_PLATFORM=xcb
  unset WAYLAND_DISPLAY
}

# The virtual recorder (the binary given) on a pseudo-terminal linked at $work/port.
start_recorder() {
  "$1" --link "$work/port" > "$work/recorder.log" 2>&1 &
  recorder_pid=$!
  pids+=("$recorder_pid")
  for _ in $(seq 100); do [ -e "$work/port" ] && break; sleep 0.05; done
  [ -e "$work/port" ] || fail "the virtual recorder made no line"
}

# An English options file for the recorder's line: write_options FILE MODEL ALWAYS_ON_TOP(yes|no).
write_options() {
  mkdir -p "$(dirname "$1")"
  printf '%s\r\n' "$2          ; hardware type" "no   ; show hints" "$3   ; always on top" \
    "$work/port   ; port" "9600   ; baudrate" "0     ; ID, decimal format" "1     ; language " "" "" "" > "$1"
}
