#!/usr/bin/env bash
# The program on Wayland, under a headless compositor (weston): it starts, opens the recorder's
# line and ends promptly on SIGTERM.
#   wayland_test.sh LUMEVANTA VIRTUAL_RECORDER
set -euo pipefail
program=$1 recorder=$2
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; for log in "$work"/*.log; do sed "s|^|  $(basename "$log" .log): |" "$log"; done; exit 1; }

export XDG_RUNTIME_DIR=$work/runtime XDG_CONFIG_HOME=$work/config LANG=C.UTF-8
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset DISPLAY LC_ALL LC_MESSAGES

weston --backend=headless-backend.so --socket=lumevanta-e2e --idle-time=0 > "$work/weston.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -S "$XDG_RUNTIME_DIR/lumevanta-e2e" ] && break; sleep 0.05; done
[ -S "$XDG_RUNTIME_DIR/lumevanta-e2e" ] || fail "weston did not start"
export WAYLAND_DISPLAY=lumevanta-e2e QT_QPA_PLATFORM=wayland

"$recorder" --link "$work/port" > "$work/recorder.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -e "$work/port" ] && break; sleep 0.05; done
mkdir -p "$XDG_CONFIG_HOME/lumevanta" "$work/cwd"
printf '%s\r\n' "BRW774          ; hardware type" "no   ; show hints" "yes   ; always on top" \
  "$work/port   ; port" "9600   ; baudrate" "0     ; ID, decimal format" "1     ; language " "" "" "" \
  > "$XDG_CONFIG_HOME/lumevanta/options.ini"

(cd "$work/cwd" && exec "$program") > "$work/program.log" 2>&1 &
app=$!
pids+=("$app")
line=$(readlink -f "$work/port")
opened() { ls -l "/proc/$app/fd" 2>/dev/null | grep -q -- "-> $line\$"; }
for _ in $(seq 100); do opened && break; kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
opened || fail "the program did not open $line"

# Ended by SIGTERM it is gone within a few seconds. An orderly exit says 0; SIGTERM's own default
# ends it with 128 + 15; both are a prompt, clean end, not a hang or a crash.
kill -TERM "$app"
for _ in $(seq 50); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
kill -0 "$app" 2>/dev/null && fail "the program did not end within 5 s of SIGTERM"
status=0
wait "$app" || status=$?
[ "$status" -eq 0 ] || [ "$status" -eq 143 ] || fail "the program ended with status $status after SIGTERM"

echo "1 passed, 0 failed"
