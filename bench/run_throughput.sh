#!/usr/bin/env bash
# Throughput of a whole Tessary_DAQ run on emulated boards with unlimited
# links: the board data rate (MB/s of readout) with raw files only, with the
# HDF5 event files only, with raw and list files, and with every output on, next to this disk's sequential
# write speed measured in the same run (dd with fdatasync, through the
# system's cache and past it, as the program writes), and the peak resident
# size of a run against one ten times as long (memory must stay flat), and
# the same run as raw and list with the live monitor under load (20 viewers
# polling the status ten times a second and a spectrum a second each, and a
# scrape of the metrics every second) against it without the monitor.
#
# Usage: bench/run_throughput.sh [SECONDS] [BOARDS] [RATE_HZ]   (defaults 5, 8, 1000000)
# Four such boards offer about 490 MB/s (each is dead 300 ns an event), which
# a fast disk takes whole: eight offer twice that, more than the program or
# the disk can take, so that the figures show the program's own limit.
# Needs a release build: cmake --preset release && cmake --build --preset release,
# and free space in TMPDIR for the longest run: about 1.2 GB a second of it
# (60 GB with the defaults).
set -euo pipefail
cd "$(dirname "$0")/.."
program=$PWD/build/release/bin/Tessary_DAQ
[ -x "$program" ] || { echo "no $program: build the release preset first" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (Debian package time) for the peak resident size" >&2; exit 1; }
seconds=${1:-5}
boards=${2:-8}
rate=${3:-1000000}
work=$(mktemp -d "${TMPDIR:-/tmp}/tessary_throughput.XXXXXX")
trap 'rm -rf "$work"' EXIT
source bench/common.sh

# Boards that offer more than a disk takes: a short conversion, a fast
# source, every channel read, links without transfer time. Real boards
# digitise on their own; the emulated ones draw their events on the
# program's thread, so they repeat a pool of drawn events, and what is
# measured is the program's work on the data, not the emulator's drawing.
settings=$work/boards.txt
: > "$settings"
for ((b = 0; b < boards; b++)); do
  printf '[usb %d]\ntrigger_rate_hz = %d\nconversion_time_ns = 200\nhit_percent = 100\nseed = %d\n' "$b" "$rate" "$((b + 1))" >> "$settings"
  printf 'link_latency_us = 0\nlink_bandwidth_kb_s = unlimited\nevent_pool = 4096\n' >> "$settings"
done
stub_plotter

# One run of $2 seconds of acquisition; prints MB/s of board data and of all
# files written, the peak RSS, and with $6 = disk the disk's speed for the
# volume written and the share of it the run reached; with $6 = monitor the
# run serves the live monitor to the viewers of bench/monitor_load.py.
run() {
  local name=$1 length=$2 raw=$3 list=$4 histo=$5 compare=${6:-} hdf5=${7:-NO}
  local options=() load=
  program_config "$boards" tp 1000 "$raw" "$list" "$histo" "$hdf5" > "$work/config.txt"
  rm -rf "$work/Tessary_DAQ/out" "$work/log.txt"
  if [ "$compare" = monitor ]; then
    local port
    port=$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    options=(--monitor "127.0.0.1:$port")
    # The viewers come once the page is up, and stay for the acquisition.
    (for ((i = 0; i < 600; i++)); do grep -q '^Monitor: ' "$work/log.txt" 2>/dev/null && break; sleep 0.1; done
     bench/monitor_load.py "http://127.0.0.1:$port" 20 "$length" > "$work/load.txt") &
    load=$!
  fi
  keys "$length" |
    HOME=$work DRELM_EMULATOR_SETTINGS=$settings /usr/bin/time -f %M -o "$work/rss" \
      "$program" "${options[@]}" "$work/config.txt" > "$work/log.txt" 2>&1 || { echo "$name: the run failed" >&2; tail "$work/log.txt" >&2; exit 1; }
  if [ -n "$load" ]; then wait "$load" || true; echo "  $(cat "$work/load.txt")"; fi
  # The board data: the bytes read, as the run's summary counts them (the
  # raw files' sizes, when they are written). The files: all but the summary.
  local bytes written
  bytes=$(/usr/bin/python3 -c 'import json, sys; print(sum(b["bytes"] for b in json.load(open(sys.argv[1]))["boards"]))' \
    "$work/Tessary_DAQ/out/tp_summary.json")
  written=$(find "$work/Tessary_DAQ/out" -type f -name 'tp_*' ! -name tp_summary.json -printf '%s\n' |
    awk '{ s += $1 } END { printf "%.0f", s }')
  rm -rf "$work/Tessary_DAQ/out"
  awk -v name="$name ($length s)" -v bytes="$bytes" -v written="$written" -v seconds="$length" -v rss="$(cat "$work/rss")" \
    'BEGIN { printf "%-30s %7.1f MB/s of board data, %7.1f MB/s written (%.2f of it)   peak RSS %s KB\n", name, bytes / seconds / 1e6, written / seconds / 1e6, written / bytes, rss }'
  if [ "$compare" = disk ]; then
    local disk direct
    disk=$(disk_speed $((written / 1048576 + 1)))
    direct=$(disk_speed $((written / 1048576 + 1)) oflag=direct)
    awk -v written="$written" -v seconds="$length" -v disk="$disk" -v direct="$direct" \
      'BEGIN { rate = written / seconds / 1e6
               printf "%-30s %7.1f MB/s for the same volume: the run wrote at %.2f of it\n", "  disk", disk, rate / disk
               printf "%-30s %7.1f MB/s for the same volume: the run wrote at %.2f of it\n", "  disk, direct", direct, rate / direct }'
  fi
}

echo "Disk: $(disk_speed 1024) MB/s (1 GiB written and flushed)"
echo "$boards boards, $rate Hz each offered"
run "raw only" "$seconds" YES NO NO disk
run "HDF5 only" "$seconds" NO NO NO disk YES
run "raw and list" "$seconds" YES YES NO disk
run "raw and list, monitor viewed" "$seconds" YES YES NO monitor
run "all outputs" "$seconds" YES YES YES
# Short runs may write into the page cache; ten times as long, the disk's
# own sustained speed shows (and the memory must stay flat).
run "raw only, ten times" "$((seconds * 10))" YES NO NO disk
run "HDF5 only, ten times" "$((seconds * 10))" NO NO NO "" YES
run "all outputs, ten times" "$((seconds * 10))" YES YES YES
