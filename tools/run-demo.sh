#!/usr/bin/env bash
# Installs what is missing, builds the program, starts the virtual recorder on a pseudo-terminal and
# runs the program against it from a scratch folder whose options.ini names that recorder.
#
#   tools/run-demo.sh [DEVICE_TYPE] [--id N] [--answer x|y|none] [--delay MS] [--lang ru|en]
#
# DEVICE_TYPE is one of the recorder models (BRW777 by default). --id sets the recorder's ID, which
# the options file gives the program too; --answer and --delay choose how the recorder replies.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

device_type=BRW777
id=0
answer=x
delay=0
language=1
while [ $# -gt 0 ]; do
  case "$1" in
    --id) id=$2; shift 2 ;;
    --answer) answer=$2; shift 2 ;;
    --delay) delay=$2; shift 2 ;;
    --lang) case "$2" in ru) language=0 ;; en) language=1 ;; *) echo "--lang takes ru or en" >&2; exit 2 ;; esac; shift 2 ;;
    -h|--help) sed -n '2,8p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    -*) echo "unknown option: $1" >&2; exit 2 ;;
    *) device_type=$1; shift ;;
  esac
done

bash tools/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMEVANTA_TESTS=OFF -DLUMEVANTA_BENCH=OFF > /dev/null
cmake --build build/release -j "$(nproc)" --target lumevanta virtual-recorder

run=$root/run
mkdir -p "$run"
port_link=$run/recorder-port
cleanup() {
  [ -n "${program_pid:-}" ] && kill "$program_pid" 2>/dev/null || true
  [ -n "${recorder_pid:-}" ] && kill "$recorder_pid" 2>/dev/null || true
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
trap 'exit 130' INT TERM

build/release/bin/virtual-recorder --link "$port_link" --id "$id" --answer "$answer" --delay "$delay" \
  > "$run/recorder.log" 2>&1 &
recorder_pid=$!
for _ in $(seq 50); do grep -q '^device:' "$run/recorder.log" 2>/dev/null && break; sleep 0.1; done
echo "Virtual recorder: $(head -n 1 "$run/recorder.log") (linked at $port_link; log: $run/recorder.log)"

# The options file, in the program's own format: value, blanks, comment; CR LF line ends.
printf '%s\r\n' \
  "$device_type          ; hardware type" \
  "no   ; show hints" \
  "no   ; always on top" \
  "$port_link   ; port" \
  "9600   ; baudrate" \
  "$id     ; ID, decimal format" \
  "$language     ; language " \
  "" "" "" > "$run/options.ini"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  # Xvfb picks a free display number itself and writes it to the descriptor it is given.
  exec 3> "$run/xvfb.display"
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp > "$run/xvfb.log" 2>&1 &
  xvfb_pid=$!
  exec 3>&-
  for _ in $(seq 100); do [ -s "$run/xvfb.display" ] && break; kill -0 "$xvfb_pid" 2>/dev/null || break; sleep 0.1; done
  if [ ! -s "$run/xvfb.display" ]; then
    echo "Xvfb did not start:" >&2
    sed 's/^/  /' "$run/xvfb.log" >&2
    exit 1
  fi
  export DISPLAY=:$(cat "$run/xvfb.display")
  echo "No display is set: running the program under Xvfb on $DISPLAY."
  echo "A screenshot will be saved to $run/screenshot.png in a few seconds; press Ctrl-C to stop."
  ( sleep 4; import -display "$DISPLAY" -window root "$run/screenshot.png" 2>/dev/null || true ) &
fi

echo "Starting lumevanta in $run"
cd "$run"
"$root/build/release/bin/lumevanta" &
program_pid=$!

# The panel's window is named after the recorder model; on X11, say where it is.
if [ -n "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  panel=""
  for _ in $(seq 100); do
    panel=$(xdotool search --onlyvisible --name "^$device_type\$" 2>/dev/null | head -n 1 || true)
    [ -n "$panel" ] && break
    kill -0 "$program_pid" 2>/dev/null || break
    sleep 0.1
  done
  if [ -n "$panel" ]; then
    eval "$(xdotool getwindowgeometry --shell "$panel")"
    echo "The $device_type panel is on $DISPLAY at $X,$Y, ${WIDTH}x$HEIGHT pixels."
  else
    echo "No $device_type panel has appeared yet (a message box or the preferences may be waiting)."
  fi
fi
wait "$program_pid"
