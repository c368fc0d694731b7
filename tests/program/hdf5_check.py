#!/usr/bin/python3
"""Checks a run's HDF5 event files against its list, histogram and summary
files, and against the files replayed from its raw data.

  hdf5_check.py run FOLDER NAME BOARDS REPLAY_FOLDER
  hdf5_check.py follow FOLDER NAME BOARDS SNAPSHOT_FOLDER
  hdf5_check.py killed FOLDER NAME BOARDS SNAPSHOT_FOLDER

'run': every file holds the summary's event count, each row equals its list
line, the spectra equal the histogram files, the summary's fields are in the
attributes, and the replayed files hold the same rows.
'follow': waits (60 s at most) until a reader following each file as it is
written sees at least the events that the list files had on the disk at the
snapshot.
'killed': each file left by a killed run opens and holds at least the events
that the list files had on the disk at the snapshot, each equal to its line.
Exit status 0 when all holds, 1 otherwise, 77 without h5py.
"""
import json
import os
import sys
import time

try:
    import h5py
    import numpy as np
except ImportError:
    sys.exit(77)

failures = []


def check(ok, what):
    if not ok:
        failures.append(what)


def list_lines(folder, name, board):
    """The event lines of a board's list segments, whole lines only."""
    lines, seg = [], 0
    while os.path.exists(path := f"{folder}/{name}_list_b{board}_seg{seg}.txt"):
        text = open(path).read()
        lines += text.split("\n\n", 1)[1].split("\n")[:-1] if "\n\n" in text else []
        seg += 1
    return lines


def expected_rows(lines, channels):
    n = len(lines)
    index, stamp = np.zeros(n, np.uint32), np.zeros(n, np.uint64)
    amplitude, flags = np.zeros((n, channels), np.uint16), np.zeros((n, channels), np.uint8)
    for i, line in enumerate(lines):
        index[i], stamp[i] = int(line[0:14]), int(line[15:35]) * 8
        for ch in range(channels):
            column = line[36 + 10 * ch:46 + 10 * ch].strip()
            if column.isdigit():  # else ZS or N/A: absent
                word = int(column)
                amplitude[i, ch] = word & 0x3FFF
                flags[i, ch] = 1 | (2 if word & 0x8000 else 0) | (4 if word & 0x4000 else 0)
    return index, stamp, amplitude, flags


def compare_with_list(events, lines, board):
    rows = min(len(events), len(lines))
    index, stamp, amplitude, flags = expected_rows(lines[:rows], events.dtype["amplitude"].shape[0])
    for field, want in (("trigger_index", index), ("timestamp_ns", stamp), ("amplitude", amplitude),
                        ("flags", flags)):
        check(np.array_equal(events[field][:rows], want), f"board {board}: {field} differs from the list")
    count = events["trigger_count"].astype(np.uint64)
    check(np.array_equal(count % (1 << 24), events["trigger_index"]) and bool(np.all(np.diff(count) > 0)),
          f"board {board}: trigger_count does not extend the index")


def check_run(folder, name, boards, replay):
    summary = json.load(open(f"{folder}/{name}_summary.json"))
    for b in range(boards):
        with h5py.File(f"{folder}/{name}_events_b{b}.h5", "r") as f:
            events = f["events"][:]
            totals = summary["boards"][b]
            check(len(events) == totals["events"] > 0, f"board {b}: {len(events)} rows, summary {totals['events']}")
            for attribute, key in (("events_total", "events"), ("triggers_lost", "triggers_lost"),
                                   ("live_time_s", "live_time_s")):
                check(f.attrs[attribute] == totals[key], f"board {b}: attribute {attribute}")
            check(f.attrs["run_summary"] == 1 and f.attrs["board_model"].decode() == totals["model"],
                  f"board {b}: run record")
            lines = list_lines(folder, name, b)
            check(len(lines) == len(events), f"board {b}: {len(lines)} list lines, {len(events)} rows")
            compare_with_list(events, lines, b)
            spectra = sorted(f["spectra"])
            histograms = sorted(n for n in os.listdir(folder) if n.startswith(f"{name}_histo_b{b}_ch"))
            check(len(spectra) == len(histograms) > 0, f"board {b}: {len(spectra)} spectra, {len(histograms)} files")
            for ch in spectra:
                text = np.loadtxt(f"{folder}/{name}_histo_b{b}_ch{int(ch[2:])}.txt", dtype=np.uint64, ndmin=2)
                check(np.array_equal(f["spectra"][ch][:], text[:, 1]), f"board {b}: spectrum {ch}")
            with h5py.File(f"{replay}/{name}_events_b{b}.h5", "r") as r:
                replayed = r["events"][:]
                check(all(np.array_equal(replayed[n], events[n]) for n in events.dtype.names),
                      f"board {b}: the replayed rows differ from the live ones")


def check_killed(folder, name, boards, snapshot):
    for b in range(boards):
        with h5py.File(f"{folder}/{name}_events_b{b}.h5", "r", swmr=True) as f:
            events = f["events"][:]
        flushed = len(list_lines(snapshot, name, b))
        check(len(events) >= flushed > 0, f"board {b}: {len(events)} rows, the list had {flushed} before")
        compare_with_list(events, list_lines(folder, name, b), b)


def follow(folder, name, boards, snapshot):
    for b in range(boards):
        flushed = len(list_lines(snapshot, name, b))
        with h5py.File(f"{folder}/{name}_events_b{b}.h5", "r", swmr=True) as f:
            events = f["events"]
            for _ in range(600):
                events.refresh()
                if len(events) >= flushed:
                    break
                time.sleep(0.1)
            check(len(events) >= flushed, f"board {b}: a reader sees {len(events)} rows, the list had {flushed}")


if __name__ == "__main__":
    mode, folder, name, boards, other = sys.argv[1:6]
    {"run": check_run, "follow": follow, "killed": check_killed}[mode](folder, name, int(boards), other)
    print("\n".join(failures) if failures else "HDF5 files as expected")
    sys.exit(1 if failures else 0)
