#!/usr/bin/env bash
# Throughput of a whole Tessary_DAQ run on emulated boards with unlimited
# links: the board data rate (MB/s of readout) with raw files only, with raw
# and list files, and with every output on, next to this disk's sequential
# write speed measured in the same run, and the peak resident size of a run
# against one ten times as long (memory must stay flat).
#
# Usage: bench/run_throughput.sh [SECONDS] [BOARDS]   (defaults 5 and 8)
# Needs a release build: cmake --preset release && cmake --build --preset release
set -euo pipefail
cd "$(dirname "$0")/.."
program=$PWD/build/release/bin/Tessary_DAQ
[ -x "$program" ] || { echo "no $program: build the release preset first" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (Debian package time) for the peak resident size" >&2; exit 1; }
seconds=${1:-5}
boards=${2:-8}
work=$(mktemp -d "${TMPDIR:-/tmp}/tessary_throughput.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Boards that offer more than a disk takes: a short conversion, a fast
# source, every channel read, links without transfer time.
settings=$work/boards.txt
: > "$settings"
for ((b = 0; b < boards; b++)); do
  printf '[usb %d]\ntrigger_rate_hz = 200000\nconversion_time_ns = 500\nseed = %d\n' "$b" "$((b + 1))" >> "$settings"
  printf 'link_latency_us = 0\nlink_bandwidth_kb_s = unlimited\ntruth_file = %s/truth%d.txt\n' "$work" "$b" >> "$settings"
done
printf '#!/bin/sh\ncat > /dev/null\n' > "$work/pgnuplot"
chmod +x "$work/pgnuplot"

config() {  # raw list histo
  for ((b = 0; b < boards; b++)); do echo "OPEN USB $b"; done
  cat <<CFG
[COMMON]
OUTFILE_PATH out/
OUTFILE_NAME tp
OUTFILE_RAW $1
OUTFILE_LIST $2
OUTFILE_HISTO $3
OUTFILE_MAXSIZE 1000
STAT_REFRESH 1000
PERIODIC_PLOT NO
GNUPLOT_PATH $work/
GATE_WIDTH 0.1
POLARITY NEGATIVE
ENABLE_INPUT FFFFFFFFFFFFFFFF
CFG
}

# One run of $2 seconds of acquisition; prints MB/s of board data and the peak RSS.
run() {
  local name=$1 length=$2 raw=$3 list=$4 histo=$5
  config "$raw" "$list" "$histo" > "$work/config.txt"
  rm -rf "$work/Tessary_DAQ/out" "$work"/truth*.txt
  (sleep 4; printf s; sleep "$length"; printf q) |
    HOME=$work DRELM_EMULATOR_SETTINGS=$settings /usr/bin/time -f %M -o "$work/rss" \
      "$program" "$work/config.txt" > "$work/log.txt" 2>&1 || { echo "$name: the run failed" >&2; tail "$work/log.txt" >&2; exit 1; }
  local bytes
  bytes=$(awk '$1 == "bytes" { sum += $2 } END { print sum + 0 }' "$work"/truth*.txt)
  awk -v name="$name ($length s)" -v bytes="$bytes" -v seconds="$length" -v rss="$(cat "$work/rss")" \
    'BEGIN { printf "%-30s %8.1f MB/s of board data   peak RSS %s KB\n", name, bytes / seconds / 1e6, rss }'
}

echo "Disk: $(dd if=/dev/zero of="$work/dd" bs=1M count=1024 conv=fdatasync 2>&1 | tail -1)"
rm -f "$work/dd"
echo "$boards boards, 200 kHz each offered"
run "raw only" "$seconds" YES NO NO
run "raw and list" "$seconds" YES YES NO
run "all outputs" "$seconds" YES YES YES
run "all outputs, ten times" "$((seconds * 10))" YES YES YES
