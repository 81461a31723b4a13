#!/usr/bin/env python3
"""The real window's budgets, measured on a virtual display with a window
manager and written as figures (scripts/e2e/figures.py) for the budgets
table to gate:

  - what waiting for a key costs, on the definition overview, the title
    screen and the play screen: under 2% of a core;
  - how soon the game ends on a close request, SIGTERM or SIGHUP, on each
    of its screens, and without a display at all: within a second;
  - how soon a continued game shows its picture: a short game (shown, not
    gated) and a 10,000-turn one, closed and killed, within a second.

Each is measured until its best is within its limit (--tries times at the
most) and the best counts: other load on the machine only adds time. The figures are appended to FILE; the exit status
is 0 when everything was measured, whatever the figures, and 2 (with one
line saying why) when something could not be: each figure not measured
then goes to FILE as such, with the reason, so that the table fails on it
too.

    python3 scripts/measure/window.py --build BUILD_RELEASE_DIR --figures FILE [--tries N] [--keep]

BUILD_RELEASE_DIR needs game/delve, delve-replay and bench/delve-long-game
(a release build configured with -DDELVE_BENCH=ON)."""

import argparse
import os
import shutil
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from e2e import figures, program, x11  # noqa: E402
from e2e.report import Stop  # noqa: E402

NAME = "measure/window"
IDLE_LIMIT = 2.0         # percent of a core while waiting for a key
IDLE_SPAN = 3.0          # seconds each look at it lasts
END_LIMIT_MS = 1000      # from the request to the program's end
CONTINUE_LIMIT_MS = 1000  # a 10,000-turn game, from the start to its picture
LONG_TURNS = "10000"

# What is measured, each row one figure (see expected()).
IDLE_SCREENS = [("the definition overview", ""), ("the title screen", "x"), ("the play screen", "@17\r6688")]
ENDS = [("close", "the definition overview", (), ""), ("close", "the title screen", (), "x"),
        ("HUP", "the seed prompt", (), "x@1"), ("TERM", "the play screen", ("--seed", "17"), "6"),
        ("close", "the play screen", ("--seed", "17", "--window-scale", "2"), "666")]
NO_DISPLAY = "window: no display, to the end"
CONTINUES = [("a short game", "90", "closed", None),
             ("a 10,000-turn game", LONG_TURNS, "closed", CONTINUE_LIMIT_MS),
             ("a 10,000-turn game", LONG_TURNS, "killed", CONTINUE_LIMIT_MS)]


def idle_figure(where):
    return "window: waiting for a key on %s" % where


def end_figure(how, where):
    return "window: %s on %s, to the end" % (how, where)


def continue_figure(what, how):
    return "window: %s (%s) continued, to its picture" % (what, how)


def expected():
    """Every figure this script writes, as (name, unit, limit)."""
    return ([(idle_figure(where), "%", IDLE_LIMIT) for where, _ in IDLE_SCREENS]
            + [(end_figure(how, where), "ms", END_LIMIT_MS) for how, where, _, _ in ENDS]
            + [(NO_DISPLAY, "ms", END_LIMIT_MS)]
            + [(continue_figure(what, how), "ms", limit) for what, _, how, limit in CONTINUES])


class CannotMeasure(Exception):
    pass


def main():
    parser = argparse.ArgumentParser(prog="scripts/measure/window.py")
    parser.add_argument("--build", required=True)
    parser.add_argument("--figures", required=True)
    parser.add_argument("--tries", type=int, default=3, help="repetitions of each measurement (the best counts)")
    parser.add_argument("--keep", action="store_true")
    args = parser.parse_args()
    if args.tries < 1:
        parser.error("--tries must be at least 1")
    build = os.path.realpath(args.build)
    figures_path = os.path.realpath(args.figures)
    os.makedirs(os.path.dirname(figures_path), exist_ok=True)
    measured = []
    needed = {"delve": os.path.join(build, "game", "delve"), "delve-replay": os.path.join(build, "delve-replay"),
              "delve-long-game": os.path.join(build, "bench", "delve-long-game")}
    for name, path in needed.items():
        if not os.access(path, os.X_OK):
            return cannot(figures_path, measured, "no %s in %s (a release build with -DDELVE_BENCH=ON)"
                          % (name, build))
    for tool in x11.TOOLS:
        if not shutil.which(tool):
            return cannot(figures_path, measured, "%s is missing (scripts/setup installs it)" % tool)

    reason = None
    try:
        with program.Session("measure-window", args.keep, summary=False) as s:
            try:
                m = Measure(s, build, args.tries, figures_path, measured)
                m.idle()
                m.ends()
                m.continues()
            except (Stop, CannotMeasure, subprocess.CalledProcessError) as problem:
                reason = str(problem)
                s.keep = True
    except SystemExit as leaving:
        # A helper that gave up on the machine exits on its own; whatever its
        # status, 0 would pass for success and 1 for a missed budget.
        return cannot(figures_path, measured, "stopped with status %s" % leaving.code)
    # Anything else (a fault of this script or of the harness) the session
    # has reported as a failure: no less a figure not measured.
    if not reason and s.status:
        reason = s.report.failures[0] if s.report.failures else "the session failed"
    if not reason and any(name not in measured for name, _, _ in expected()):
        reason = "it ended without measuring every figure"
    if reason:
        return cannot(figures_path, measured, reason)
    print("%s: %d figures written to %s" % (NAME, len(measured), figures_path), flush=True)
    return 0


def cannot(figures_path, measured, reason):
    """Writes each expected figure not in `measured` as not measured, for
    the table to fail on; returns the exit status 2."""
    for name, unit, limit in expected():
        if name not in measured:
            figures.unmeasured(figures_path, name, unit, limit, "not measured: %s" % reason)
    print("%s: cannot measure: %s" % (NAME, reason), file=sys.stderr, flush=True)
    return 2


class Measure:
    def __init__(self, s, build, tries, figures_path, measured):
        self.s = s
        self.delve = os.path.join(build, "game", "delve")
        self.replay = os.path.join(build, "delve-replay")
        self.long_game = os.path.join(build, "bench", "delve-long-game")
        self.game = os.path.join(build, "game")
        self.tries = tries
        self.figures_path = figures_path
        self.measured = measured
        self.display = x11.Display(s, 1280, 960)
        self.data = s.copy_data(self.game, "data")

    def record(self, name, value, unit, limit, detail):
        within = figures.record(self.figures_path, name, value, unit, limit, "max", detail)
        self.measured.append(name)
        print("%-64s %6s %-3s %s%s" % (name, value, unit, "(limit %s) " % limit if limit is not None else "",
                                     "" if within else "OVER "), flush=True)

    def start(self, args=(), log="game"):
        game = self.s.start_game(self.delve, self.data, ["--no-record", *args], log)
        return game, self.display.game(game)

    # --- waiting for a key -----------------------------------------------------

    def idle(self):
        game, window = self.start()
        for where, keys in IDLE_SCREENS:
            for char in keys:
                window.press(char)
                game.wait_idle()
            uses = figures.tries_until_within(lambda: 100 * game.cpu_use(IDLE_SPAN), IDLE_LIMIT, self.tries)
            self.record(idle_figure(where), round(min(uses), 2), "%", IDLE_LIMIT,
                        "share of a core over %.0f s, best of %d" % (IDLE_SPAN, len(uses)))
        game.kill()

    # --- ending ------------------------------------------------------------------

    def end_time(self, how, args, keys):
        """Milliseconds from the request to the game's end, with status 0."""
        game, window = self.start(args, "end")
        for char in keys:
            window.press(char)
            game.wait_idle()
        if how == "close":
            # Timed from when the message is out: sending it is not the game's time.
            window.close_request()
            began = time.monotonic()
        else:
            began = time.monotonic()
            game.signal(getattr(signal, "SIG" + how))
        status = wait_exit(game, 10)
        took = (time.monotonic() - began) * 1000
        if status != 0:
            raise CannotMeasure("%s ended the game with status %s: %s" % (how, status, game.err(3)))
        return took

    def ends(self):
        for how, where, args, keys in ENDS:
            times = figures.tries_until_within(lambda: self.end_time(how, args, keys), END_LIMIT_MS, self.tries)
            self.record(end_figure(how, where), round(min(times)), "ms", END_LIMIT_MS,
                        "best of %d" % len(times))
        # Without a display the game must say so and end at once, not wait.
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER")}

        def undisplayed():
            began = time.monotonic()
            done = subprocess.run([self.delve, "--data", self.data], env=env, cwd=self.data,
                                  stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                                  timeout=30)
            took = (time.monotonic() - began) * 1000
            if done.returncode != 1:
                raise CannotMeasure("without a display the game ended with status %d: %s"
                                    % (done.returncode, done.stderr.decode(errors="replace").strip()))
            return took
        times = figures.tries_until_within(undisplayed, END_LIMIT_MS, self.tries)
        self.record(NO_DISPLAY, round(min(times)), "ms", END_LIMIT_MS,
                    "best of %d" % len(times))

    # --- continuing ------------------------------------------------------------------

    def continue_time(self, folder, rec, expected):
        """Milliseconds from the start of `delve --continue` to the window
        showing `expected`, and the processor time it used by then."""
        saved = self.s.path("saved-recordings")
        recordings = os.path.join(folder, "recordings")
        if not os.path.exists(saved):
            subprocess.run(["cp", "-r", recordings, saved], check=True)
        # Each try on a fresh copy: a continued game writes to its file.
        subprocess.run(["rm", "-rf", recordings], check=True)
        subprocess.run(["cp", "-r", saved, recordings], check=True)
        game = self.s.start_game(self.delve, folder, ["--continue", rec], "continue")
        window, took = x11.first_picture(game, expected, 960, 720, game.started_ns, timeout=30)
        cpu = game.ticks() * 1000 // program.HZ
        window.close_request()
        game.wait_end(10, "the close request")
        return took, cpu

    def continues(self):
        for number, (what, turns, how, limit) in enumerate(CONTINUES):
            folder = self.s.copy_data(self.game, "continue-%d" % number)
            made = subprocess.run([self.long_game, *(["--killed"] if how == "killed" else []), folder, turns,
                                   "4243", self.s.path("continue.png")], stdout=subprocess.PIPE, text=True)
            if made.returncode != 0:
                raise CannotMeasure("delve-long-game could not make %s (%s)" % (what, how))
            rec = made.stdout.strip()
            expected = x11.raw_picture(self.s.path("continue.png"), self.s.work)
            if os.path.exists(self.s.path("saved-recordings")):
                subprocess.run(["rm", "-rf", self.s.path("saved-recordings")], check=True)
            tries = figures.tries_until_within(lambda: self.continue_time(folder, rec, expected), limit, self.tries,
                                               value=lambda t: t[0])
            took, cpu = min(tries)
            self.record(continue_figure(what, how), took, "ms", limit,
                        "%s turns; best of %d, %d ms of processor" % (program.turns_of(rec), len(tries), cpu))


def wait_exit(game, timeout):
    """The game's exit status, looked for every few milliseconds so that the
    time taken is the game's, not the looking's."""
    end = time.monotonic() + timeout
    while game.alive():
        if time.monotonic() > end:
            raise CannotMeasure("%s did not end within %d s" % (game.name, timeout))
        time.sleep(0.002)
    return game.status


if __name__ == "__main__":
    sys.exit(main())
