#!/usr/bin/env bash
# Builds everything and runs every test. Usage: tools/check.sh [preset]
# (release by default; asan and tsan run the sanitizer builds).
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-release}"
tools/install-deps.sh
cmake --preset "$preset" >/dev/null
if [ "$preset" = tsan ]; then
  # ThreadSanitizer runs only the threaded tests: build just those.
  cmake --build --preset "$preset" --target test_threads test_emulator test_program_threads
else
  cmake --build --preset "$preset"
fi
ctest --preset "$preset"
