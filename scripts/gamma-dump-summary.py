#!/usr/bin/env python3
"""Summarises the gamma blocks a simulated projector accepted.

    scripts/gamma-dump-summary.py DUMP LEVELS BANK

DUMP is the file of `projector-sim --dump-gamma` (one line per block: "<block> <hex bytes>"),
LEVELS the output of `tonedesk-cli levels FILE.gam` (256 lines "r,g,b"), BANK 0 or 1. Prints one
line per block in the dump: its number, its byte count, whether its last byte is the sum of the
others modulo 256, and whether its data are the levels of the bank's block of that number (the
editor's order: bank 1 starts at block 6, each colour has two blocks of 128 levels, high byte
first). Exits 0 only when the dump holds exactly the six blocks of the bank and every one is
257 bytes long, has a good checksum and matches the levels; 1 otherwise, 2 for bad input.
"""

import sys

BLOCK_SIZE = 257
LEVELS_PER_BLOCK = 128


def read_levels(path):
    channels = [[], [], []]
    with open(path, encoding="ascii") as f:
        for number, line in enumerate(f, 1):
            parts = line.strip().split(",")
            if len(parts) != 3:
                raise ValueError(f"{path}:{number}: not a line r,g,b")
            for channel, text in enumerate(parts):
                channels[channel].append(int(text))
    if any(len(c) != 256 for c in channels):
        raise ValueError(f"{path}: not 256 levels per colour")
    return channels


def expected_block(levels, bank, block):
    first = 6 if bank == 1 else 0
    if not first <= block < first + 6:
        return None
    channel, half = divmod(block - first, 2)
    data = bytearray()
    for level in levels[channel][LEVELS_PER_BLOCK * half : LEVELS_PER_BLOCK * (half + 1)]:
        data += bytes([level >> 8, level & 0xFF])
    return bytes(data + bytes([sum(data) & 0xFF]))


def main(argv):
    if len(argv) != 4 or argv[3] not in ("0", "1"):
        print("Usage: scripts/gamma-dump-summary.py DUMP LEVELS BANK", file=sys.stderr)
        return 2
    dump_path, levels_path, bank = argv[1], argv[2], int(argv[3])
    try:
        levels = read_levels(levels_path)
        with open(dump_path, encoding="ascii") as f:
            lines = [line.split() for line in f if line.strip()]
    except (OSError, ValueError) as e:
        print(f"gamma-dump-summary: {e}", file=sys.stderr)
        return 2

    good = 0
    seen = set()
    print("  block  bytes  checksum  same as the file's levels")
    for parts in lines:
        if len(parts) != 2 or not parts[0].isdigit():
            print(f"gamma-dump-summary: a line of {dump_path} is not '<block> <hex>'",
                  file=sys.stderr)
            return 2
        block = int(parts[0])
        try:
            data = bytes.fromhex(parts[1])
        except ValueError:
            print(f"gamma-dump-summary: block {block} of {dump_path} is not hex", file=sys.stderr)
            return 2
        checksum_ok = len(data) >= 2 and sum(data[:-1]) & 0xFF == data[-1]
        same = data == expected_block(levels, bank, block)
        print(f"  {block:5d}  {len(data):5d}  {'ok' if checksum_ok else 'BAD':8s}  "
              f"{'yes' if same else 'NO'}")
        seen.add(block)
        if len(data) == BLOCK_SIZE and checksum_ok and same:
            good += 1
    wanted = set(range(6, 12) if bank == 1 else range(6))
    if good == len(lines) == len(wanted) and seen == wanted:
        print(f"All {good} blocks of bank {bank} arrived whole and match the file.")
        return 0
    missing = sorted(wanted - seen)
    if missing:
        print(f"Missing blocks of bank {bank}: {' '.join(map(str, missing))}", file=sys.stderr)
    print(f"Only {good} of the {len(wanted)} blocks of bank {bank} arrived whole and match "
          f"the file; the dump holds {len(lines)}.", file=sys.stderr)
    return 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
