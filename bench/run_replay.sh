#!/usr/bin/env bash
# Speed of tessary_replay: raw files produced by a real Tessary_DAQ run on an
# emulated board with an unlimited link, then replayed into list and
# histogram files, and then into an HDF5 event file alone. Prints MB/s of
# raw data read and of files written, once for the replay alone and once
# until its files are on the disk (sync), next to this disk's sequential
# write speed measured in the same run.
#
# Usage: bench/run_replay.sh [SECONDS]   (default 5: acquisition length)
# Needs a release build: cmake --preset release && cmake --build --preset release
set -euo pipefail
cd "$(dirname "$0")/.."
bin=$PWD/build/release/bin
for tool in Tessary_DAQ tessary_replay; do
  [ -x "$bin/$tool" ] || { echo "no $bin/$tool: build the release preset first" >&2; exit 1; }
done
seconds=${1:-5}
work=$(mktemp -d "${TMPDIR:-/tmp}/tessary_replay.XXXXXX")
trap 'rm -rf "$work"' EXIT
source bench/common.sh

printf '[usb 0]\ntrigger_rate_hz = 200000\nconversion_time_ns = 500\nseed = 1\n' > "$work/boards.txt"
printf 'link_latency_us = 0\nlink_bandwidth_kb_s = unlimited\n' >> "$work/boards.txt"
stub_plotter
program_config 1 rp 100 YES NO NO > "$work/live.txt"
program_config 1 rp 100 YES YES YES > "$work/replay.txt"
program_config 1 rp 100 YES NO NO YES > "$work/replay_hdf5.txt"

# The live run writes raw files only, so that it keeps up with the board.
keys "$seconds" |
  HOME=$work DRELM_EMULATOR_SETTINGS=$work/boards.txt "$bin/Tessary_DAQ" "$work/live.txt" > "$work/log.txt" 2>&1 ||
  { echo "the live run failed" >&2; tail "$work/log.txt" >&2; exit 1; }
mapfile -t raws < <(ls -v "$work"/Tessary_DAQ/out/rp_raw_b0_seg*.bin)
in=$(cat "${raws[@]}" | wc -c)

echo "Disk: $(disk_speed 1024) MB/s (1 GiB written and flushed)"
sync

now() { date +%s.%N; }
# One replay with configuration $1 into folder $2, its files described as $3.
replay() {
  local start replayed synced out
  start=$(now)
  "$bin/tessary_replay" "$1" 0 "$work/$2" "${raws[@]}" > "$work/replay_log.txt"
  replayed=$(now)
  sync -f "$work/$2"
  synced=$(now)
  out=$(cat "$work/$2"/* | wc -c)
  tail -n +2 "$work/replay_log.txt"
  awk -v in_="$in" -v out="$out" -v n="${#raws[@]}" -v start="$start" -v replayed="$replayed" -v synced="$synced" -v what="$3" 'BEGIN {
    printf "Raw data in: %.1f MB in %d files; %s out: %.1f MB (%.2f of the raw data)\n", in_ / 1e6, n, what, out / 1e6, out / in_
    t = replayed - start; printf "Replay:           %6.2f s  %8.1f MB/s in  %8.1f MB/s out\n", t, in_ / t / 1e6, out / t / 1e6
    t = synced - start;   printf "Replay and sync:  %6.2f s  %8.1f MB/s in  %8.1f MB/s out\n", t, in_ / t / 1e6, out / t / 1e6
  }'
}
replay "$work/replay.txt" replayed "list and histogram files"
replay "$work/replay_hdf5.txt" replayed_hdf5 "HDF5 event file"
