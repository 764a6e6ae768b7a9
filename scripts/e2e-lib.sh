# Shell functions for driving Pelindra.exe under Wine as a person would.
# Source it with root (the source tree) and build (a win64 build tree) set.

wine_up() {
  "$root/scripts/wine" start "$build" >/dev/null
  eval "$("$root/scripts/wine" env "$build")"
}

# Windows form of a Linux path.
winpath() { local p; p=$(realpath -m "$1"); printf 'Z:%s' "${p//\//\\}"; }

# pelindra_start [args...]: starts the program in the background, sets $pelindra_pid.
pelindra_start() {
  mkdir -p "$root/build/logs"
  /usr/lib/wine/wine64 "$build/win32/Pelindra.exe" "$@" </dev/null >>"$root/build/logs/pelindra-e2e.log" 2>&1 &
  pelindra_pid=$!
}

# Waits for a visible window of the program; prints its X window id.
pelindra_window() {
  local wid
  for _ in $(seq 150); do
    wid=$(xdotool search --onlyvisible --classname 'pelindra.exe' 2>/dev/null | head -1 || true)
    [ -n "$wid" ] && { echo "$wid"; return 0; }
    kill -0 "$pelindra_pid" 2>/dev/null || { echo "Pelindra ended early" >&2; return 1; }
    sleep 0.2
  done
  echo "no window appeared" >&2
  return 1
}

# Waits until the window's geometry has stayed the same for a second.
wait_settled() {
  local wid=$1 last= same=0 geometry
  for _ in $(seq 100); do
    geometry=$(xdotool getwindowgeometry "$wid" 2>/dev/null | tr -d '\n' || true)
    if [ "$geometry" = "$last" ]; then same=$((same + 1)); else same=0; last=$geometry; fi
    [ $same -ge 5 ] && return 0
    sleep 0.2
  done
}

# Prints "x y width height" of a window.
window_box() {
  xdotool getwindowgeometry --shell "$1" | awk -F= '
    /^X=/ {x=$2} /^Y=/ {y=$2} /^WIDTH=/ {w=$2} /^HEIGHT=/ {h=$2} END {print x, y, w, h}'
}

# Asks the program to close as a second start would, and waits for it to end.
pelindra_close() {
  "$root/scripts/wine" run "$build" "$build/tests/e2e/close-window.exe" Pelindra >/dev/null 2>&1 || true
  for _ in $(seq 50); do kill -0 "$pelindra_pid" 2>/dev/null || return 0; sleep 0.2; done
  echo "Pelindra did not close" >&2
  kill "$pelindra_pid" 2>/dev/null
  return 1
}
