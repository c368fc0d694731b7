#!/usr/bin/env bash
# Builds everything of the release preset (installing what it needs): the
# program, its tools tessary_replay and tessary_tables, tests and benchmarks,
# then starts Tessary_DAQ on the demo configuration against two emulated
# boards. Usage: tools/demo.sh [OPTIONS], the options going to Tessary_DAQ,
# for example tools/demo.sh --monitor 8080 for the live page.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release
export DRELM_EMULATOR_SETTINGS="$PWD/examples/emulator/demo_boards.txt"
exec build/release/bin/Tessary_DAQ "$@" examples/Tessary_Config.txt
