#!/usr/bin/env bash
# The Windows packages under wine: the installer installs silently into Program Files with a
# Start-menu entry and an uninstall entry, the installed program starts with the user's settings
# from %APPDATA%\Lumevanta (a 721 recorder on COM7, the pseudo-terminal the wrapper maps) and shows
# its panel, and the silent uninstaller removes all it installed but leaves those settings. The
# portable zip holds the same files as the installed folder, and the programs need no DLL that
# Windows lacks.
#   win32-serial-device-test.sh xvfb-run -a bash win32-installer-test.sh SETUP.exe PORTABLE.zip OBJDUMP
set -euo pipefail
installer=$(realpath "$1") zip=$(realpath "$2") objdump=$3
: "${WINEPREFIX:?the prefix the test run made}"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Lumevanta'
source "$(dirname "$0")/../support/session.sh"
settings=
on_cleanup() {
  [ -z "$settings" ] || rm -rf "$settings"
  wineserver -k 2> /dev/null || true
}
# A wine server started without a display (as the port's mapping starts one) gives its programs none.
wineserver -k 2> /dev/null || true

folder="$WINEPREFIX/drive_c/Program Files/Lumevanta"
shortcut="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Lumevanta.lnk"
installed=(lumevanta.exe lumevanta-send.exe langpack_rus.txt langpack_eng.txt README.txt LICENSE.txt)
[ ! -e "$folder" ] || fail "$folder is there before the installer ran"

wine "$installer" /S || fail "the silent installer failed ($?)"
for file in "${installed[@]}" uninstall.exe; do
  [ -f "$folder/$file" ] || fail "the installer put no $file into $folder"
done
[ -f "$shortcut" ] || fail "no Start-menu entry at $shortcut"
wine reg query "$key" /v UninstallString 2> /dev/null | grep -qF 'C:\Program Files\Lumevanta\uninstall.exe' ||
  fail "no uninstall entry for C:\\Program Files\\Lumevanta\\uninstall.exe under $key"
diff <(unzip -Z1 "$zip" | sed -n 's|^[^/]*/\(.\+\)$|\1|p' | sort) <(printf '%s\n' "${installed[@]}" | sort) ||
  fail "the portable zip holds other files than the installer installs"
# The C and C++ runtimes are linked in: a MinGW DLL would be missing on the user's machine.
for program in lumevanta.exe lumevanta-send.exe; do
  others=$("$objdump" -p "$folder/$program" | sed -n 's/^\s*DLL Name: //p' | tr 'a-z' 'A-Z' |
    grep -vxE '(ADVAPI32|COMCTL32|GDI32|KERNEL32|MSVCRT|OLE32|SETUPAPI|SHELL32|USER32|UXTHEME|WINDOWSCODECS|WS2_32)\.DLL' || true)
  [ -z "$others" ] || fail "$program needs DLLs that Windows lacks: $others"
done

# The user's settings, as the program keeps them when started from the Start menu.
settings=$(winepath -u "$(wine cmd /c echo %APPDATA% | tr -d '\r')")/Lumevanta
mkdir -p "$settings"
printf '%s\r\n' "BRW721          ; hardware type" "no   ; show hints" "no   ; always on top" "COM7   ; port" \
  "9600   ; baudrate" "1     ; ID, decimal format" "1     ; language " "" "" "" > "$settings/options.ini"
cp "$settings/options.ini" "$work/settings"
cd "$work"
wine 'C:\Program Files\Lumevanta\lumevanta.exe' &
installed=$!
pids+=($installed)
wait_for 300 xdotool search --onlyvisible --name '^BRW721$' || fail "the installed program showed no BRW721 panel"
kill "$installed"
wineserver -k 2> /dev/null || true

# The uninstaller goes on from a copy of itself, so the test waits for the prefix to fall idle.
wine 'C:\Program Files\Lumevanta\uninstall.exe' /S || fail "the silent uninstaller failed ($?)"
wineserver -w
[ ! -e "$folder" ] || fail "the uninstaller left $folder: $(ls "$folder")"
[ ! -e "$shortcut" ] || fail "the uninstaller left the Start-menu entry"
! wine reg query "$key" > /dev/null 2>&1 || fail "the uninstaller left $key"
cmp -s "$settings/options.ini" "$work/settings" || fail "the uninstaller did not leave the user's options.ini"
echo "ok: installed, started, uninstalled; the user's settings stay"
