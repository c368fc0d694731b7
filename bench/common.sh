# Shared by the bench scripts that run Tessary_DAQ on emulated boards.
# Sourced after $work (the run's scratch folder) is set.

# A plotter that takes gnuplot's commands and draws nothing.
stub_plotter() {
  printf '#!/bin/sh\ncat > /dev/null\n' > "$work/pgnuplot"
  chmod +x "$work/pgnuplot"
}

# A configuration for $1 boards, file name prefix $2, segments of $3 MiB,
# and the raw, list and histogram switches $4 $5 $6 and the HDF5 one $7
# (YES or NO; HDF5 NO when not given).
program_config() {
  local b
  for ((b = 0; b < $1; b++)); do echo "OPEN USB $b"; done
  cat <<CFG
[COMMON]
OUTFILE_PATH out/
OUTFILE_NAME $2
OUTFILE_RAW $4
OUTFILE_LIST $5
OUTFILE_HISTO $6
OUTFILE_HDF5 ${7:-NO}
OUTFILE_MAXSIZE $3
STAT_REFRESH 1000
PERIODIC_PLOT NO
GNUPLOT_PATH $work/
GATE_WIDTH 0.1
POLARITY NEGATIVE
ENABLE_INPUT FFFFFFFFFFFFFFFF
CFG
}

# Keys: s once the program, writing to $work/log.txt, waits for keys (loading
# the boards' tables takes a few seconds), q after $1 seconds of acquisition.
keys() {
  local i
  for ((i = 0; i < 600; i++)); do
    grep -q 'start/stop the acquisition' "$work/log.txt" 2>/dev/null && break
    sleep 0.1
  done
  printf s
  sleep "$1"
  printf q
}

# MB/s of a sequential write of $1 MiB, flushed to the disk; with $2 =
# oflag=direct past the system's cache, as the program writes its files.
disk_speed() {
  dd if=/dev/zero of="$work/dd" bs=1M count="$1" conv=fdatasync ${2:-} 2>&1 | tail -1 |
    awk '{ for (i = 2; i <= NF; i++) if ($i == "s,") secs = $(i - 1); printf "%.1f", $1 / secs / 1e6 }'
  rm -f "$work/dd"
}
