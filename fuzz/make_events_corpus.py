#!/usr/bin/env python3
"""Writes the named seed inputs of the event decoder's fuzz target into
fuzz/corpus/events/: little-endian 32-bit words in the board's wire format."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "corpus", "events")


def event(trigger, timestamp, blocks, size=None):
    """blocks: {p: (mask, header_bits_16_31)}; amplitudes are made up."""
    present = 0
    body = []
    for p in range(4):
        if p not in blocks:
            continue
        present |= 1 << (2 * p)
        mask, high = blocks[p]
        body.append(mask | high << 16)
        amps = [(16 * p + k) * 37 + 100 for k in range(16) if mask >> k & 1]
        for i in range(0, len(amps), 2):
            body.append(amps[i] | (amps[i + 1] << 16 if i + 1 < len(amps) else 0))
    words = [0, present | ((timestamp >> 32) & 0xFFFF) << 8, trigger & 0xFFFFFF, timestamp & 0xFFFFFFFF]
    words += body
    words[0] = len(words) if size is None else size
    return words


def full(blocks, trigger):
    return event(trigger, 1000 * trigger, {p: (0xFFFF, 0) for p in range(blocks)})


def write(name, words, tail=b""):
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(struct.pack("<%dI" % len(words), *words) + tail)


os.makedirs(OUT, exist_ok=True)
write("empty", [])
write("header_only", event(1, 5, {}))
write("high_timestamp_two_blocks", event(7, 0xAB00000010, {0: (0x0001, 0), 1: (0x0001, 0x9ABC)}))
write("odd_channel_counts", event(2, 3, {0: (0x0007, 0), 2: (0x0101, 0x1000), 3: (0x0000, 0x8000)}))
write("full_64_channels_x3", full(4, 1) + full(4, 2) + full(4, 3))
write("full_32_channels_trailing_word", full(2, 9) + [0xFFFFFFFF])
write("partial_last_word", event(1, 5, {}), tail=b"\x01\x02")
write("size_overruns", event(1, 5, {0: (0xFFFF, 0)}, size=99))
write("zero_size", [0, 0, 0, 0, 4, 0, 0, 0])
write("size_below_header", [2, 0, 0, 0, 4, 0, 0, 0])
write("header_cut", event(1, 5, {}) + [4, 0x55])
write("block_header_cut", [5, 0x5, 0, 0, 0])
write("amplitudes_cut", [13, 1, 0, 0, 0xFFFF, 1, 2, 3])
write("too_many_events", sum((event(i, i, {}) for i in range(1030)), []))
