#!/usr/bin/env bash
# Runs the Win32 file tests (the command line given, which starts them under wine) with a file of
# another user's for them, where this run may make one: wine shows a file's Unix owner as its owner.
set -euo pipefail
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
chmod 755 "$folder"
printf theirs > "$folder/options.ini"
if [ "$(id -u)" -eq 0 ] && chown nobody "$folder/options.ini"; then
  export LUMEVANTA_FOREIGN_FILE="Z:${folder//\//\\}\\options.ini"
fi
"$@"
