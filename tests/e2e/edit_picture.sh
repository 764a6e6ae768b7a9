#!/usr/bin/env bash
# A person at work: opens a picture, rotates it by 30 degrees with a red border from the picture
# menu, undoes it, steps to the next picture with the arrow key, starts the slide show and stops it.
set -euo pipefail
root=$1 build=$2
source "$root/scripts/e2e-lib.sh"
wine_up

folder=$root/build/e2e/edit_picture
rm -rf "$folder"
mkdir -p "$folder" "$root/build/screenshots"
first=$folder/a.bmp second=$folder/b.bmp
cp "$root/Demo/Landscape.bmp" "$first"
convert "$root/Demo/Landscape.bmp" -flop "BMP3:$second"

shot() {  # shot <name>: screenshot of the whole screen, path printed
  local file=$root/build/screenshots/e2e-edit_picture-$1.png
  import -window root "$file"
  echo "$file"
}
fail() { echo "FAIL: $*" >&2; pelindra_close || true; exit 1; }
locate() { "$root/scripts/wine" run "$build" "$build/tests/e2e/locate.exe" "$@" | tr -d '\r'; }
# window_shows <screenshot> <picture>: the window shows exactly the picture's pixels.
window_shows() {
  local x y w h diff
  read -r x y w h < <(window_box "$wid")
  convert "$1" -crop "${w}x$h+$x+$y" +repage "$1.window.png"
  diff=$(compare -metric AE "$1.window.png" "$2" null: 2>&1 || true)
  [ "$diff" = 0 ]
}
# eventually <command...>: the command succeeds within 20 seconds (the program may be busy).
eventually() {
  for _ in $(seq 40); do "$@" && return 0; sleep 0.5; done
  return 1
}
window_size_is() { local x y w h; read -r x y w h < <(window_box "$wid"); [ "$w" = "$1" ] && [ "$h" = "$2" ]; }
# screen_shows <name> <picture>: a new screenshot shows the picture in the window.
screen_shows() { window_shows "$(shot "$1")" "$2"; }
pixel() { convert "$1" -format "%[pixel:p{$2,$3}]" info:; }
# background_shown: a window of the program covers the whole screen.
background_shown() {
  local screen w
  screen=$(xdotool getdisplaygeometry | tr ' ' x)
  for w in $(xdotool search --onlyvisible --classname pelindra.exe); do
    [ "$(xdotool getwindowgeometry "$w" | awk '/Geometry/ {print $2}')" = "$screen" ] && return 0
  done
  return 1
}
windows_shown() { xdotool search --onlyvisible --classname pelindra.exe | wc -l; }
# The picture menu, opened with the right button; items are counted from the bottom.
menu_from_bottom() {
  local x y w h keys=()
  read -r x y w h < <(window_box "$wid")
  local before
  before=$(windows_shown)
  xdotool mousemove $((x + w / 2)) $((y + h / 2)) click 3
  for _ in $(seq 100); do [ "$(windows_shown)" -gt "$before" ] && break; sleep 0.2; done
  for _ in $(seq "$1"); do keys+=(Up); done
  xdotool key --delay 100 "${keys[@]}" Return
}

pelindra_start "$(winpath "$first")"
wid=$(pelindra_window)
wait_settled "$wid"
window_shows "$(shot 1-opened)" "$first" || fail "the opened picture is not shown"

# Rotate: fourth item from the bottom (Rotate, Info, Move, Close while there is nothing to undo).
menu_from_bottom 4
locate client "Rotate Picture" 0 0 >/dev/null || fail "the rotate dialog did not open"
xdotool type --delay 120 30
read -r px py < <(locate client "Rotate Picture" 140 60)
xdotool mousemove "$px" "$py" click 1
read -r left top right bottom < <(locate control Color 720) || fail "the colour dialog did not open"
# Basic colours: 8 columns by 6 rows; pure red starts the second row.
xdotool mousemove $((left + (right - left) / 16)) $((top + (bottom - top) * 3 / 12)) click 1
read -r ok_left ok_top _ _ < <(locate control Color 1)
xdotool mousemove $((ok_left + 10)) $((ok_top + 10)) click 1
for _ in $(seq 100); do xdotool search --onlyvisible --name '^Color$' >/dev/null || break; sleep 0.2; done
shot 2-rotate-dialog >/dev/null
xdotool key Return
# 640 x 400 turned by 30 degrees: 640 cos 30 + 400 sin 30 = 754.3, 640 sin 30 + 400 cos 30 = 666.4.
eventually window_size_is 754 666 || fail "the rotated window is not 754 x 666"
wait_settled "$wid"
rotated=$(shot 3-rotated)
read -r x y w h < <(window_box "$wid")
for corner in "$((x + 1)) $((y + 1))" "$((x + w - 2)) $((y + 1))" "$((x + 1)) $((y + h - 2))"; do
  # shellcheck disable=SC2086
  [ "$(pixel "$rotated" $corner)" = "srgb(255,0,0)" ] || fail "corner $corner is not red"
done
[ "$(pixel "$rotated" $((x + w / 2)) $((y + h / 2)))" = "$(pixel "$first" 320 200)" ] ||
  fail "the centre of the rotated picture is not the picture's centre"

# Undo: third item from the bottom now that "Undo Rotate" is shown.
menu_from_bottom 3
eventually window_size_is 640 400 || fail "undo did not bring the picture's size back"
wait_settled "$wid"
eventually screen_shows 4-undone "$first" || fail "undo did not bring the picture back"

xdotool key Right
eventually screen_shows 5-next "$second" || fail "the arrow key did not show the next picture"

# Slide show: a black background over the screen, after five seconds the next picture (the first
# one again), then a key ends it; no picture follows.
xdotool key s
sleep 1
shot 6-slide-show >/dev/null
background_shown || fail "no black background during the slide show"
eventually screen_shows 7-slide-show-step "$first" || fail "the slide show did not step on"
xdotool key Escape
sleep 7
stopped=$(shot 8-stopped)
! background_shown || fail "the background stayed after the show ended"
window_shows "$stopped" "$first" || fail "the show went on after the key"

pelindra_close
echo "rotated, undone, stepped, slide show started and stopped; screenshots in $root/build/screenshots"
