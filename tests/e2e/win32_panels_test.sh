#!/usr/bin/env bash
# The Windows program's five panels under wine on a virtual display with a window manager, one run per
# layout, each with the options of one of the layout's device types on COM7 (a pseudo-terminal playing
# recorder 1): the panel is its skin's size; a click on each key button sends that key's frame; the
# recorder's 'X', 'Y' and silence light the ok, busy and noline lamp alone; a PC key held down shows
# its button pressed and sends one frame however long the keyboard repeats, its release shows the
# button released; the close button ends the program.
#   win32-serial-device-test.sh xvfb-run ... win32_panels_test.sh WINE PROGRAM.exe PLACE.exe ARTWORK_DIR
set -euo pipefail
wine=$1 program=$(realpath "$2") place=$3 artwork=$4
far_end=${LUMEVANTA_FAR_END_LOG#Z:}
far_end=${far_end//\\//}
answer=${LUMEVANTA_FAR_END_ANSWER:?the file that says what the far end answers}
shot=$PWD/win32_panels.png
source "$(dirname "$0")/../support/session.sh"
on_cleanup() { wineserver -k 2> /dev/null || true; }
on_failure() {
  import -window root "$shot" 2>/dev/null || true
  echo "(layout $layout; the screen: $shot)"
}
# layout, a device type it serves, a PC key (as xdotool names it) and the button it works.
cases=(
  "BRW721 FN721 Return enter_b"
  "BRW773 DM773 1 chan_1_b"
  "BRW774 CALVO442 space play_b"
  "BRW776 BRW776 Up up_b"
  "BRW777 CALVO1642 F3 ch13_b"
)
# The 774's strip shows one picture per lamp lit.
declare -A strip_picture=([ok]=12 [busy]=10 [noline]=13)

openbox > /dev/null 2>&1 &
pids+=($!)
# A wine server started without a display (as the port's mapping starts one) gives its programs none.
wineserver -k 2> /dev/null || true
"$wine" "$place" | tr -d '\r' > "$work/parts"

parts_of() { awk -v l="$1" -v k="$2" '$1 == l && $3 == k' "$work/parts"; }
part() { awk -v l="$1" -v n="$2" '$1 == l && $2 == n' "$work/parts"; }

# The panel shows this part of its screenshot as the picture of that id, every pixel.
shows() { # screenshot left top width height id
  convert "$1" -crop "$4x$5+$2+$3" +repage "$work/crop.png" &&
    [ "$(compare -metric AE "$work/crop.png" "$artwork/bmp/$6.bmp" null: 2>&1)" = 0 ]
}
lamps_show() { # the lamp lit alone
  import -window "$panel" "$work/panel.png" || return 1
  local _l name kind left top width height off on _k _p lamp id
  while read -r _l name kind left top width height off on _k _p lamp; do
    if [ "$kind" = strip ]; then id=${strip_picture[$1]}; else id=$([ "$lamp" = "$1" ] && echo "$on" || echo "$off"); fi
    shows "$work/panel.png" "$left" "$top" "$width" "$height" "$id" || return 1
  done < <(parts_of "$layout" lamp; parts_of "$layout" strip)
}
last_frame() { tail -c 5 "$far_end" | od -An -tx1 | tr -d ' \n'; }
frame_of() { printf 'ffc001%02x7f' "$1"; }
grown_by() { [ "$(stat -c %s "$far_end")" -ge $(($1 + $2)) ]; }
click() { # part name; waits for its frame
  local _l _n _k left top width height _r _p key _rest before
  read -r _l _n _k left top width height _r _p key _rest < <(part "$layout" "$1")
  before=$(stat -c %s "$far_end")
  xdotool mousemove --window "$panel" $((left + width / 2)) $((top + height / 2)) click 1
  # A click while the last answer is still on its way (a loaded machine) is refused, as it should be:
  # it is made once more.
  wait_for 10 grown_by "$before" 5 || xdotool click 1
  wait_for 20 grown_by "$before" 5 || fail "a click on $1 sent nothing"
  [ "$(last_frame)" = "$(frame_of "$key")" ] || fail "$1 sent $(last_frame), not $(frame_of "$key")"
}

for row in "${cases[@]}"; do
  read -r layout device pc_key pc_button <<< "$row"
  printf '%s\r\n' "$device          ; hardware type" "no   ; show hints" "no   ; always on top" "COM7   ; port" \
    "9600   ; baudrate" "1     ; ID, decimal format" "1     ; language " "" "" "" > "$work/options.ini"
  printf X > "$answer"
  (cd "$work" && exec "$wine" "$program") &
  running=$!
  pids+=($running)
  wait_for 300 xdotool search --onlyvisible --name "^$layout\$" || fail "no panel appeared for $device"
  panel=$(xdotool search --onlyvisible --name "^$layout\$" | head -n 1)
  read -r skin_width skin_height < <(identify -format "%w %h\n" "$artwork/skin_$layout.jpg")
  eval "$(xdotool getwindowgeometry --shell "$panel")"
  [ "$WIDTH" = "$skin_width" ] && [ "$HEIGHT" = "$skin_height" ] ||
    fail "the panel is ${WIDTH}x$HEIGHT, its skin ${skin_width}x$skin_height"

  keys=0
  while read -r _ name _; do
    click "$name"
    keys=$((keys + 1))
    sleep 0.05 # for the answer to end the exchange
  done < <(parts_of "$layout" key)
  wait_for 10 lamps_show ok || fail "the recorder's 'X' did not light the ok lamp alone"
  printf Y > "$answer"
  click menu_b
  wait_for 10 lamps_show busy || fail "the recorder's 'Y' did not light the busy lamp alone"
  : > "$answer"
  click menu_b
  wait_for 30 lamps_show noline || fail "no answer did not light the noline lamp alone"

  printf X > "$answer"
  read -r _ _ _ left top width height released pressed key _ < <(part "$layout" "$pc_button")
  before=$(stat -c %s "$far_end")
  xdotool keydown "$pc_key"
  wait_for 20 grown_by "$before" 5 || fail "the PC key $pc_key sent nothing"
  [ "$(last_frame)" = "$(frame_of "$key")" ] || fail "the PC key $pc_key sent $(last_frame), not $(frame_of "$key")"
  import -window "$panel" "$work/panel.png"
  shows "$work/panel.png" "$left" "$top" "$width" "$height" "$pressed" || fail "$pc_button is not shown pressed"
  sleep 1 # longer than the keyboard waits to repeat
  xdotool keyup "$pc_key"
  [ "$(stat -c %s "$far_end")" = $((before + 5)) ] || fail "the PC key $pc_key held sent more than one frame"
  shown_released() {
    import -window "$panel" "$work/panel.png" && shows "$work/panel.png" "$left" "$top" "$width" "$height" "$released"
  }
  wait_for 10 shown_released || fail "$pc_button is not shown released after the PC key's release"

  import -window root "$shot"
  click_close=$(part "$layout" close_b)
  read -r _ _ _ left top width height _ <<< "$click_close"
  xdotool mousemove --window "$panel" $((left + width / 2)) $((top + height / 2)) click 1
  wait_for 100 bash -c "! kill -0 $running" || fail "the close button did not end the program"
  echo "ok: $layout ($device) ${WIDTH}x$HEIGHT, $keys keys sent their frames, lamps lit, $pc_key worked $pc_button"
done
