#!/usr/bin/env python3
"""Damages a copy of a data folder the way a bad disk, a careless edit or a
hostile download would: bytes flipped or set to ones the readers treat
specially, runs cut out, repeated or inserted, files cut short. The same
folder and seed always give the same damage, so a soak round can be repeated.

    soak_mutate.py DATA_DIR SEED

It changes only files that are already under DATA_DIR/res and DATA_DIR/tiles
and prints one line saying what it did to each."""
import os
import random
import sys

# Bytes with a meaning somewhere in the data files or tile headers.
SPECIAL = [0, 1, 0x7F, 0x80, 0xFD, 0xFF, ord("="), ord("\r"), ord("\n"),
           ord("-"), ord("9"), ord("."), ord("e"), ord("&"), ord('"'), ord("%")]


def mutate(data: bytearray, rng: random.Random) -> str:
    if not data:
        data.extend(rng.randbytes(rng.randrange(1, 64)))
        return "filled"
    kind = rng.choice(["flip", "special", "cut", "repeat", "insert", "truncate"])
    at = rng.randrange(len(data))
    span = rng.randrange(1, 1 + min(len(data) - at, 256))
    if kind == "flip":
        data[at] ^= 1 << rng.randrange(8)
    elif kind == "special":
        data[at] = rng.choice(SPECIAL)
    elif kind == "cut":
        del data[at:at + span]
    elif kind == "repeat":
        data[at:at] = data[at:at + span] * rng.randrange(1, 20)
    elif kind == "insert":
        data[at:at] = rng.randbytes(span)
    else:
        del data[at:]
    return f"{kind}@{at}"


def main() -> int:
    if len(sys.argv) != 3:
        print("usage: soak_mutate.py DATA_DIR SEED", file=sys.stderr)
        return 2
    root, seed = sys.argv[1], int(sys.argv[2])
    rng = random.Random(seed)
    res = sorted(os.path.join(d, f) for d, _, fs in os.walk(os.path.join(root, "res")) for f in fs)
    tiles = sorted(os.path.join(d, f) for d, _, fs in os.walk(os.path.join(root, "tiles")) for f in fs)
    # Most damage goes to the few data files every frame reads, some to tiles.
    chosen = rng.sample(res, min(len(res), rng.randrange(1, 3)))
    chosen += rng.sample(tiles, min(len(tiles), rng.randrange(0, 6)))
    for path in chosen:
        with open(path, "rb") as f:
            data = bytearray(f.read())
        done = [mutate(data, rng) for _ in range(rng.randrange(1, 6))]
        with open(path, "wb") as f:
            f.write(data)
        print(f"{os.path.relpath(path, root)}: {' '.join(done)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
