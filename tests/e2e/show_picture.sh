#!/usr/bin/env bash
# Pelindra started with a bitmap shows exactly its pixels, centred on the screen.
set -euo pipefail
root=$1 build=$2
source "$root/scripts/e2e-lib.sh"
wine_up
picture=$root/Demo/Landscape.bmp
pelindra_start "$(winpath "$picture")"
wid=$(pelindra_window)
wait_settled "$wid"
mkdir -p "$root/build/screenshots"
shot=$root/build/screenshots/e2e-show_picture.png
import -window root "$shot"
read -r x y w h < <(window_box "$wid")
pelindra_close

echo "window at $x,$y size ${w}x$h; screenshot $shot"
[ "$w" = 640 ] && [ "$h" = 400 ] || { echo "FAIL: window is ${w}x$h, not 640x400" >&2; exit 1; }
[ "$x" = 192 ] && [ "$y" = 184 ] || { echo "FAIL: window at $x,$y, not centred at 192,184" >&2; exit 1; }
crop=$root/build/screenshots/e2e-show_picture-window.png
convert "$shot" -crop "640x400+$x+$y" +repage "$crop"
diff=$(compare -metric AE "$crop" "$picture" null: 2>&1 || true)
echo "pixels differing from the picture: $diff"
[ "$diff" = 0 ] || { echo "FAIL: the window does not show the picture" >&2; exit 1; }
