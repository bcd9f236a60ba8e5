#!/usr/bin/env bash
# Builds the Debian package from this build folder, checks its control fields and contents, and runs
# what it installs from the unpacked tree in another working folder, as an installed program runs.
#   package_test.sh BUILD_DIR VERSION APP_ID
set -euo pipefail
build=$1 version=$2 app_id=$3
command -v dpkg-deb > /dev/null || { echo "dpkg-deb is missing: skipped"; exit 77; }
source "$(dirname "$0")/../support/session.sh"

# gzip instead of xz only saves time here; the contents are the same.
cpack --config "$build/CPackConfig.cmake" -B "$work/out" -D CPACK_DEBIAN_COMPRESSION_TYPE=gzip > "$work/cpack.log" 2>&1 ||
  fail "cpack failed"
deb=$work/out/lumevanta_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "no $(basename "$deb") in $(ls "$work/out")"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = lumevanta ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)'"
[ "$(field Section)" = video ] || fail "Section is '$(field Section)'"
[ "$(field Recommends)" = qt6-wayland ] || fail "Recommends is '$(field Recommends)'"
[[ "$(field Maintainer)" =~ ^[^\<]+\ \<[^@\>]+@[^\>]+\>$ ]] || fail "Maintainer is '$(field Maintainer)'"
[ "$(field Description | head -n 1)" = "remote control for CCTV video recorders on a serial line" ] ||
  fail "Description starts '$(field Description | head -n 1)'"
[ "$(field Description | wc -l)" -gt 3 ] || fail "the Description has no long text"
# The dependencies come from the binaries, so the libraries they link are named with their versions.
depends=$(field Depends)
for library in libc6 libstdc++6 libqt6widgets6 libqt6gui6 libqt6core6 libjpeg62-turbo; do
  case ", $depends" in *", $library (>= "*) ;; *) fail "Depends lacks a versioned $library: $depends" ;; esac
done

dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' > "$work/contents"
expected=(
  /usr/bin/lumevanta
  /usr/bin/lumevanta-send
  /usr/bin/lumevanta-virtual-recorder
  /usr/share/lumevanta/langpack_rus.txt
  /usr/share/lumevanta/langpack_eng.txt
  "/usr/share/applications/$app_id.desktop"
  "/usr/share/metainfo/$app_id.metainfo.xml"
  /usr/share/man/man1/lumevanta.1.gz
  /usr/share/man/man1/lumevanta-send.1.gz
  /usr/share/man/man1/lumevanta-virtual-recorder.1.gz
  /usr/share/doc/lumevanta/README.md
  /usr/share/doc/lumevanta/LICENSE
  /usr/share/doc/lumevanta/copyright
)
sizes=(16 22 24 32 48 64 128 256)
for size in "${sizes[@]}"; do expected+=("/usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png"); done
for path in "${expected[@]}"; do grep -qx -- "$path" "$work/contents" || fail "the package lacks $path"; done
unexpected=$(grep -v -e '/$' -e '^/usr/bin/' -e '^/usr/share/' "$work/contents" || true)
[ -z "$unexpected" ] || fail "files outside /usr/bin and /usr/share: $unexpected"

root=$work/root
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/$app_id.desktop" > "$work/desktop-file-validate.log" 2>&1 ||
  fail "desktop-file-validate refused the desktop entry"
appstreamcli validate --no-net "$root/usr/share/metainfo/$app_id.metainfo.xml" > "$work/appstreamcli.log" 2>&1 ||
  fail "appstreamcli refused the metainfo"
grep -qx 'StartupWMClass=Lumevanta' "$root/usr/share/applications/$app_id.desktop" ||
  fail "the desktop entry's StartupWMClass is not the program's window class"
for size in "${sizes[@]}"; do
  got=$(identify -format '%wx%h %[channels]' "$root/usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png")
  [ "$got" = "${size}x${size} srgba" ] || fail "the ${size}px icon is $got"
done
for page in lumevanta lumevanta-send lumevanta-virtual-recorder; do
  man -l "$root/usr/share/man/man1/$page.1.gz" > "$work/$page.txt" 2> "$work/man.log" || fail "man $page failed"
  grep -Eq "^ *$page +- " "$work/$page.txt" || fail "man $page does not name the program"
done
for program in lumevanta lumevanta-send lumevanta-virtual-recorder; do
  symbol_tables=$(readelf -S "$root/usr/bin/$program" | grep -c '\.symtab' || true)
  [ "$symbol_tables" = 0 ] || fail "$program is not stripped"
done

# The installed program, started from an unrelated folder, finds its English pack in share/lumevanta.
[ "$("$root/usr/bin/lumevanta" --version)" = "lumevanta $version" ] || fail "the installed --version is wrong"
elsewhere=$work/elsewhere
mkdir -p "$elsewhere"
private_desktop
start_xvfb
start_recorder "$root/usr/bin/lumevanta-virtual-recorder"
write_options "$elsewhere/options.ini" BRW774 no
(cd "$elsewhere" && exec "$root/usr/bin/lumevanta") > "$work/program.log" 2>&1 &
pids+=($!)
window_of() { for _ in $(seq 200); do xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1 && return; sleep 0.1; done; }
panel=$(window_of BRW774)
[ -n "$panel" ] || fail "the installed program showed no panel"
wm_class=$(xprop -id "$panel" WM_CLASS)
[ "$wm_class" = 'WM_CLASS(STRING) = "lumevanta", "Lumevanta"' ] || fail "the panel's $wm_class does not match the entry"
# options_b (635,3, 20 x 13) opens the preferences, whose caption is the English pack's first line.
xdotool mousemove --window "$panel" 645 9 click 1
[ -n "$(window_of Preferences)" ] || fail "the preferences did not come up in English: the pack was not found"
echo "package: all checks passed"
