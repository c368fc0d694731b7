#!/usr/bin/env bash
# Builds Tessary_DAQ (installing what it needs) and starts it on the demo
# configuration against two emulated boards. Usage: tools/demo.sh
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target Tessary_DAQ
export DRELM_EMULATOR_SETTINGS="$PWD/examples/emulator/demo_boards.txt"
exec build/release/bin/Tessary_DAQ examples/Tessary_Config.txt
