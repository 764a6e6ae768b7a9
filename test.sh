#!/usr/bin/env bash
# Installs what is missing, builds every preset and runs every test suite.
#   ./test.sh                 everything
#   ./test.sh native win64    only these (native, win64, win32)
# Build and test logs go to build/logs/.
set -uo pipefail
cd "$(dirname "$0")"
root=$PWD
suites=("$@")
[ ${#suites[@]} -gt 0 ] || suites=(native win64 win32)
logs=$root/build/logs
mkdir -p "$logs"

scripts/setup || { echo "test.sh: set-up failed" >&2; exit 1; }

declare -A result
failed=0
build() {
  local preset=$1
  echo "== build $preset"
  if ! { cmake --preset "$preset" >"$logs/configure-$preset.log" 2>&1 &&
         cmake --build --preset "$preset" >"$logs/build-$preset.log" 2>&1; }; then
    tail -n 40 "$logs/configure-$preset.log" "$logs/build-$preset.log" >&2
    result[$preset]="build failed (see build/logs/build-$preset.log)"
    failed=1
    return 1
  fi
}

run_tests() {
  local preset=$1
  echo "== test $preset"
  if ctest --preset "$preset" --output-junit "$logs/junit-$preset.xml" 2>&1 | tee "$logs/test-$preset.log"; then
    result[$preset]=$(grep -E '^[0-9]+% tests passed' "$logs/test-$preset.log" | tail -1)
  else
    result[$preset]="FAILED: $(grep -E 'tests passed' "$logs/test-$preset.log" | tail -1)"
    failed=1
  fi
}

for suite in "${suites[@]}"; do
  case $suite in
    native)
      build native && run_tests native ;;
    win64)
      if build win64; then
        echo "== wine prefix and display"
        # The first boot of the prefix is set-up work, kept out of the tests' time.
        scripts/wine start build/win64 || { result[win64]="wine could not start"; failed=1; continue; }
        run_tests win64
        scripts/wine stop build/win64
      fi ;;
    win32)
      # These machines cannot run 32-bit code: the i686 build is compiled and linked only.
      build win32 && result[win32]="compiled and linked (not run: no 32-bit support here)" ;;
    *) echo "test.sh: unknown suite $suite (native, win64, win32)" >&2; exit 2 ;;
  esac
done

echo
echo "== summary"
for suite in "${suites[@]}"; do printf '%-7s %s\n' "$suite" "${result[$suite]:-not run}"; done
exit $failed
