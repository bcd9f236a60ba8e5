#!/usr/bin/env bash
# Runs the Win32 serial tests (the command line given, which starts them under wine) against a
# pseudo-terminal that wine knows as COM7, mapped through wine's registry (tests/support/wine-ports.sh).
set -euo pipefail
port=COM7
: "${WINEPREFIX:?the prefix the test run made}"
unset DISPLAY

far_end_path=$(mktemp)
far_end_log=$(mktemp)
far_end_answer=$(mktemp)
printf X > "$far_end_answer"
python3 "$(dirname "$0")/../support/pty_far_end.py" "$far_end_log" "$far_end_answer" > "$far_end_path" &
far_end=$!
trap 'kill "$far_end" 2>/dev/null; rm -f "$far_end_path" "$far_end_log" "$far_end_answer"' EXIT
for _ in $(seq 100); do
  [ -s "$far_end_path" ] && break
  sleep 0.05
done
pty=$(head -n 1 "$far_end_path")
[ -c "$pty" ] || { echo "the far end made no pseudo-terminal" >&2; exit 1; }

source "$(dirname "$0")/../support/wine-ports.sh"
map_wine_ports "$port=$pty"
# What the far end received, as the tests under wine name it; what it answers, as this machine does.
LUMEVANTA_FAR_END_LOG="Z:${far_end_log//\//\\}" LUMEVANTA_FAR_END_ANSWER=$far_end_answer LUMEVANTA_TEST_PORT=$port "$@"
