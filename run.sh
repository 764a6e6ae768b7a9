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

args=()
name=startup
if [ $# -ge 1 ]; then
  [ -e "$1" ] || { echo "run.sh: no such file: $1" >&2; exit 1; }
  path=$(realpath "$1")
  args=("Z:${path//\//\\}")
  name=$(basename "$1"); name=${name%.*}
fi

if [ -n "${DISPLAY:-}" ] && [ -z "${PELINDRA_HEADLESS:-}" ]; then
  PELINDRA_USE_DISPLAY=1 exec scripts/wine run "$build" "$build/win32/Pelindra.exe" "${args[@]}"
fi

scripts/wine start "$build"
eval "$(scripts/wine env "$build")"
trap 'scripts/wine stop "$build"' EXIT
/usr/lib/wine/wine64 "$build/win32/Pelindra.exe" "${args[@]}" </dev/null >"$root/build/logs/run.log" 2>&1 &
pid=$!

# Wait for the window, then until its size has stayed the same for a second.
wid=
for _ in $(seq 150); do
  wid=$(xdotool search --onlyvisible --classname 'pelindra.exe' 2>/dev/null | head -1 || true)
  [ -n "$wid" ] && break
  kill -0 $pid 2>/dev/null || { echo "run.sh: Pelindra ended early, see build/logs/run.log" >&2; exit 1; }
  sleep 0.2
done
[ -n "$wid" ] || { echo "run.sh: no window appeared" >&2; kill $pid; exit 1; }
last= same=0
for _ in $(seq 100); do
  geometry=$(xdotool getwindowgeometry "$wid" 2>/dev/null | tr -d '\n' || true)
  if [ "$geometry" = "$last" ]; then same=$((same + 1)); else same=0; last=$geometry; fi
  [ $same -ge 5 ] && break
  sleep 0.2
done

shot=$root/build/screenshots/run-$name.png
import -window root "$shot"
scripts/wine run "$build" "$build/tests/e2e/close-window.exe" Pelindra >/dev/null 2>&1 || true
for _ in $(seq 50); do kill -0 $pid 2>/dev/null || break; sleep 0.2; done
if kill -0 $pid 2>/dev/null; then
  echo "run.sh: Pelindra did not close, stopping it" >&2
  kill $pid
fi
echo "$shot"
