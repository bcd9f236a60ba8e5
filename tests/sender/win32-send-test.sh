#!/usr/bin/env bash
# lumevanta-send.exe under wine: its exit status and what it says for each way the recorder answers
# (virtual recorders on pseudo-terminals that wine's registry maps as COM7 to COM9, and one behind
# ser2net on 127.0.0.1 for the network lines) and for each way the command line or the port is wrong.
#   win32-send-test.sh LUMEVANTA-SEND.exe VIRTUAL-RECORDER
set -euo pipefail
send=$(realpath "$1") recorder=$(realpath "$2")
: "${WINEPREFIX:?the prefix the test run made}"
unset DISPLAY
source "$(dirname "$0")/../support/wine-ports.sh"
source "$(dirname "$0")/../support/session.sh"

# A virtual recorder answering $2 on a pseudo-terminal of its own, whose path lands in $work/$1.
start_recorder() {
  "$recorder" --answer "$2" > "$work/$1.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do
    sed -n 's/^device: //p' "$work/$1.log" > "$work/$1"
    [ -s "$work/$1" ] && return 0
    sleep 0.05
  done
  echo "the recorder for $1 made no pseudo-terminal: $(cat "$work/$1.log")" >&2
  exit 1
}
free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
listening() { grep -qi "0100007F:$(printf %04X "$1") 00000000:0000 0A" /proc/net/tcp; }

start_recorder ok x
start_recorder busy y
start_recorder silent none
start_recorder network x
map_wine_ports "COM7=$(cat "$work/ok")" "COM8=$(cat "$work/busy")" "COM9=$(cat "$work/silent")"

raw=$(free_port) telnet=$(free_port) closed=$(free_port)
cat > "$work/ser2net.yaml" << EOF
connection: &raw
  accepter: tcp,127.0.0.1,$raw
  connector: serialdev,$(cat "$work/network"),9600n81,local
  options:
    kickolduser: true
connection: &telnet
  accepter: telnet(rfc2217),tcp,127.0.0.1,$telnet
  connector: serialdev,$(cat "$work/network"),9600n81,local
  options:
    kickolduser: true
EOF
/usr/sbin/ser2net -n -u -c "$work/ser2net.yaml" -P "$work/ser2net.pid" > "$work/ser2net.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
  listening "$raw" && listening "$telnet" && break
  sleep 0.05
done
listening "$raw" && listening "$telnet" || { echo "ser2net does not listen: $(cat "$work/ser2net.log")" >&2; exit 1; }

# what | arguments after --model BRW721 --id 1 | exit status | standard output | standard error
rows=(
  "answered X|--port COM7 menu|0|menu: ok|"
  "busy Y|--port COM8 menu|1|menu: busy|"
  "silence|--port COM9 --timeout 300 menu|2|menu: no reply|"
  "quiet, two keys unanswered|--port COM9 --timeout 300 --quiet menu play|2||"
  "bad key name|--port COM7 menux|4||lumevanta-send: the BRW721 has no key 'menux'; did you mean menu?"
  "no such port|--port NOSUCH menu|3||lumevanta-send: NOSUCH (\\\\.\\NOSUCH): no such device: the adapter is not plugged in, or the name is wrong"
  "raw TCP line|--port tcp://127.0.0.1:$raw menu|0|menu: ok|"
  "RFC 2217 line|--port rfc2217://127.0.0.1:$telnet menu|0|menu: ok|"
  "nothing listening|--port tcp://127.0.0.1:$closed menu|3||lumevanta-send: tcp://127.0.0.1:$closed: the connection was refused: check the port and that the server is running"
)
failed=0
cd "$work" # no options.ini here: every setting comes from the command line
for row in "${rows[@]}"; do
  IFS='|' read -r what args status out err <<< "$row"
  # shellcheck disable=SC2086 # the arguments are words
  set +e
  wine "$send" --model BRW721 --id 1 $args > stdout 2> stderr
  got=$?
  set -e
  # The first line of a complaint is ours; the second points to --help.
  got_out=$(tr -d '\r' < stdout) got_err=$(tr -d '\r' < stderr | head -n 1)
  if [ "$got" != "$status" ] || [ "$got_out" != "$out" ] || [ "$got_err" != "$err" ]; then
    echo "FAIL $what: exit $got (not $status), out '$got_out' (not '$out'), err '$got_err' (not '$err')" >&2
    failed=1
  else
    echo "ok: $what"
  fi
done
# What went out through the network line reached the recorder behind it, as a frame for recorder 1.
grep -c "frame id=01 key=4D answer=X" "$work/network.log" | grep -qx 2 ||
  { echo "FAIL: the recorder behind ser2net logged: $(cat "$work/network.log")" >&2; failed=1; }
exit $failed
