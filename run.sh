#!/usr/bin/env bash
# Installs what is missing, builds Pelindra.exe and starts it under Wine.
#   ./run.sh [picture]
# With a display (DISPLAY set) the program opens there and runs until closed.
# Without one, it runs on a private Xvfb: once the picture is shown a screenshot
# is saved under build/screenshots/, its path printed, and the program closed.
set -euo pipefail
cd "$(dirname "$0")"
root=$PWD
build=$root/build/win64
mkdir -p "$root/build/logs" "$root/build/screenshots"

scripts/setup
cmake --preset win64 >"$root/build/logs/configure-win64.log" 2>&1 ||
  { tail -30 "$root/build/logs/configure-win64.log" >&2; exit 1; }
cmake --build --preset win64 --target Pelindra close-window >"$root/build/logs/build-run.log" 2>&1 ||
  { tail -30 "$root/build/logs/build-run.log" >&2; exit 1; }
source scripts/e2e-lib.sh

args=()
name=startup
if [ $# -ge 1 ]; then
  [ -e "$1" ] || { echo "run.sh: no such file: $1" >&2; exit 1; }
  args=("$(winpath "$1")")
  name=$(basename "$1"); name=${name%.*}
fi

if [ -n "${DISPLAY:-}" ] && [ -z "${PELINDRA_HEADLESS:-}" ]; then
  PELINDRA_USE_DISPLAY=1 exec scripts/wine run "$build" "$build/win32/Pelindra.exe" "${args[@]}"
fi

wine_up
trap 'scripts/wine stop "$build"' EXIT
pelindra_start "${args[@]}"
wid=$(pelindra_window)
wait_settled "$wid"
shot=$root/build/screenshots/run-$name.png
import -window root "$shot"
pelindra_close || true
echo "$shot"
