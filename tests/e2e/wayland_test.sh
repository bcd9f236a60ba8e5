#!/usr/bin/env bash
# The program on Wayland, under a headless compositor (weston): it starts, opens the recorder's
# line and ends promptly on SIGTERM.
#   wayland_test.sh LUMEVANTA VIRTUAL_RECORDER
set -euo pipefail
program=$1 recorder=$2
source "$(dirname "$0")/../support/session.sh"
private_desktop
unset DISPLAY

weston --backend=headless-backend.so --socket=lumevanta-e2e --idle-time=0 > "$work/weston.log" 2>&1 &
pids+=($!)
eventually test -S "$XDG_RUNTIME_DIR/lumevanta-e2e" || fail "weston did not start"
export WAYLAND_DISPLAY=lumevanta-e2e QT_QPA_PLATFORM=wayland

start_recorder "$recorder"
write_options "$XDG_CONFIG_HOME/lumevanta/options.ini" BRW774 yes
mkdir -p "$work/cwd"

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
eventually gone "$app" || fail "the program did not end within 5 s of SIGTERM"
status=0
wait "$app" || status=$?
[ "$status" -eq 0 ] || [ "$status" -eq 143 ] || fail "the program ended with status $status after SIGTERM"

echo "1 passed, 0 failed"
