#!/usr/bin/env bash
# Builds everything and runs every test. Usage: tools/check.sh [preset]
# (release by default; asan and tsan run the sanitizer builds; windows the
# cross build, its tests under wine).
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-release}"
tools/install-deps.sh "$preset"
cmake --preset "$preset" >/dev/null
if [ "$preset" = windows ]; then
  # Tests run under wine, in a prefix of the build's own, made once here so
  # that ctest's parallel first starts do not race to create it.
  export WINEPREFIX="$PWD/build/windows/wine-prefix" WINEDEBUG=-all
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
  fi
fi
if [ "$preset" = tsan ]; then
  # ThreadSanitizer runs only the threaded tests: build just those.
  cmake --build --preset "$preset" --target test_threads test_emulator test_program_threads
else
  cmake --build --preset "$preset"
fi
ctest --preset "$preset"
