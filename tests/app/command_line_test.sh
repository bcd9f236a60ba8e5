#!/usr/bin/env bash
# The real program's --help, --version and a wrong option, with no display at all: a program that
# made its application object first would abort here instead.
#   command_line_test.sh LUMEVANTA VERSION
set -euo pipefail
program=$1 version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; for f in "$work"/*; do sed "s|^|  $(basename "$f"): |" "$f"; done; exit 1; }

run() { status=0; env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb "$program" "$@" > "$work/out" 2> "$work/err" || status=$?; }

run --help
[ "$status" -eq 0 ] || fail "--help exited $status"
[ "$(head -n 1 "$work/out")" = "Usage: lumevanta [options]" ] || fail "--help printed no usage"
[ ! -s "$work/err" ] || fail "--help wrote to stderr"

run --version
[ "$status" -eq 0 ] || fail "--version exited $status"
[ "$(cat "$work/out")" = "lumevanta $version" ] || fail "--version printed '$(cat "$work/out")'"

run --frobnicate
[ "$status" -eq 2 ] || fail "an unknown option exited $status, not 2"
[ "$(head -n 1 "$work/err")" = "lumevanta: unknown option '--frobnicate'" ] || fail "no one-line error first"
grep -q '^Usage: lumevanta' "$work/err" || fail "the usage does not follow the error"
[ ! -s "$work/out" ] || fail "an error wrote to stdout"
echo "command line: all checks passed"
