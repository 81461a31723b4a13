#!/usr/bin/env python3
"""Watching a long kept game in the window's program, measured headless and
written as figures (scripts/e2e/figures.py) for the budgets table to gate:
a 10,000-turn game drawn throughout (bench/delve-long-game --drawn) opened
until its first picture and whole timeline are there, opened as a link to
its last turn, and seeking to 20 random turns, forward and back
(bench/delve-watch-bench). Opening, the link, seeking straight after
opening (each turn told by the spans kept at opening), seeking once the
watcher's idle slices have noted the whole game and seeking once it has
drawn the whole game ahead are gated; noting the whole game is shown.

The exit status is 0 when everything was measured, whatever the figures,
and 2 (with one line saying why) when something could not be.

    python3 scripts/measure/watch.py --build BUILD_RELEASE_DIR --figures FILE"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile

NAME = "measure/watch"
TURNS = "10000"


def fail(why):
    print("%s: %s" % (NAME, why), file=sys.stderr)
    return 2


def main():
    parser = argparse.ArgumentParser(prog="scripts/measure/watch.py")
    parser.add_argument("--build", required=True)
    parser.add_argument("--figures", required=True)
    args = parser.parse_args()
    build = os.path.realpath(args.build)
    long_game = os.path.join(build, "bench", "delve-long-game")
    bench = os.path.join(build, "bench", "delve-watch-bench")
    for path in (long_game, bench):
        if not os.access(path, os.X_OK):
            return fail("%s is missing (a release build with -DDELVE_BENCH=ON)" % path)
    # In memory where the system has it: the recording is pushed to the
    # disk after every batch, and only watching it is measured.
    base = "/dev/shm" if os.path.isdir("/dev/shm") else None
    folder = tempfile.mkdtemp(prefix="delve-watch-", dir=base)
    try:
        for part in ("res", "tiles"):
            shutil.copytree(os.path.join(build, "game", part), os.path.join(folder, part))
        made = subprocess.run([long_game, "--drawn", folder, TURNS, "4242", os.path.join(folder, "end.png")],
                              capture_output=True, text=True, timeout=600)
        if made.returncode != 0:
            return fail("delve-long-game could not make the game: " + made.stderr.strip())
        recording = made.stdout.strip().splitlines()[-1]
        measured = subprocess.run([bench, folder, recording, "--figures", args.figures], timeout=600)
        if measured.returncode not in (0, 1):
            return fail("delve-watch-bench could not measure (status %d)" % measured.returncode)
        return 0
    except subprocess.TimeoutExpired as e:
        return fail("%s took too long" % e.cmd[0])
    finally:
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
