#!/usr/bin/env bash
# "create": a fresh wine prefix at $WINEPREFIX for this test run; "stop": ends its wine server.
set -euo pipefail
: "${WINEPREFIX:?the prefix to use}"
unset DISPLAY
case "$WINEPREFIX" in
*/wineprefix) ;;
*) echo "refusing to replace $WINEPREFIX: not a folder named wineprefix" >&2; exit 1 ;;
esac

if [ "${1:-}" = stop ]; then
  # Stopping a server that is not running is not a failure.
  wineserver -k 2>/dev/null || true
  exit 0
fi

rm -rf "$WINEPREFIX"
log="$WINEPREFIX.log"
if ! { wineboot -i && wineserver -w; } > "$log" 2>&1 || [ ! -f "$WINEPREFIX/system.reg" ]; then
  cat "$log" >&2
  exit 1
fi
