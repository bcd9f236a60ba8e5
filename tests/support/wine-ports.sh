# Sourced: map_wine_ports COMn=PTY... makes each pseudo-terminal the COM port wine knows by that name.
# The ports are mapped only through wine's registry (HKLM\Software\Wine\Ports): a dosdevices link
# would be pointed back at the machine's own /dev/ttyS* ports when the wine server starts, and a
# test would write into them. Restarts the wine server, so nothing else may run in the prefix
# meanwhile; fails unless every port leads to its pseudo-terminal.
map_wine_ports() {
  local pair port pty mapped
  : "${WINEPREFIX:?the prefix the test run made}"
  for pair in "$@"; do
    [ -c "${pair#*=}" ] || { echo "${pair#*=} is no pseudo-terminal" >&2; return 1; }
    # The wine server a command starts keeps that command's output; it has nothing to tell the test's.
    wine reg add 'HKLM\Software\Wine\Ports' /v "${pair%%=*}" /d "${pair#*=}" /f > /dev/null 2>&1
  done
  wineserver -k || true # restarted, it reads the ports anew
  wine reg query 'HKLM\Software\Wine\Ports' > /dev/null 2>&1
  for pair in "$@"; do
    port=${pair%%=*} pty=${pair#*=}
    mapped=$(readlink "$WINEPREFIX/dosdevices/${port,,}" || true)
    if [ "$mapped" != "$pty" ]; then
      echo "$port leads to '$mapped', not to $pty: not running" >&2
      return 1
    fi
  done
}
