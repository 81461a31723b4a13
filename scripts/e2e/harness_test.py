#!/usr/bin/env python3
"""The harness's own ways to fail: a script that stops must fail, clean up
all it started and keep its folder; waits must end at their deadline; two
pictures must not pass as the same when they are not. Needs no display."""

import contextlib
import io
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
from unittest import mock

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from e2e import program, x11  # noqa: E402
from e2e.report import Stop  # noqa: E402


def quietly(body):
    """Runs `body(session)` in a session, its printing swallowed; returns the session."""
    with contextlib.redirect_stdout(io.StringIO()), contextlib.redirect_stderr(io.StringIO()):
        with program.Session("harness-test") as s:
            body(s)
    return s


class SessionTest(unittest.TestCase):
    def test_a_stop_fails_the_run_ends_its_programs_and_keeps_its_folder(self):
        started = []

        def body(s):
            started.append(s.start(["sleep", "60"], "sleeper"))
            s.report.ok("before")
            raise Stop("nothing sensible after this")
        s = quietly(body)
        self.assertEqual(s.status, 1)
        self.assertEqual(s.report.failures, ["nothing sensible after this"])
        self.assertFalse(started[0].alive())
        self.assertTrue(os.path.isdir(s.work))
        shutil.rmtree(s.work)

    def test_a_fault_in_the_script_is_a_failure_not_a_pass(self):
        s = quietly(lambda s: {}["missing"])
        self.assertEqual(s.status, 1)
        shutil.rmtree(s.work)

    def test_every_undo_runs_newest_first_even_when_one_fails(self):
        done = []

        def broken():
            done.append("broken")
            raise OSError("already gone")

        def body(s):
            s.on_exit(lambda: done.append("first"))
            s.on_exit(broken)
            s.on_exit(lambda: done.append("last"))
            s.report.ok("fine")
        s = quietly(body)
        self.assertEqual(done, ["last", "broken", "first"])
        self.assertEqual(s.status, 0)
        self.assertFalse(os.path.exists(s.work))


class WaitTest(unittest.TestCase):
    def test_waits_end_at_their_deadline(self):
        def body(s):
            sleeper = s.start(["sleep", "60"], "sleeper")
            with self.assertRaisesRegex(Stop, "did not end"):
                sleeper.wait_end(0.3)
            busy = s.start(["sh", "-c", "while :; do :; done"], "busy")
            with self.assertRaisesRegex(Stop, "settling"):
                busy.wait_idle(span=0.2, timeout=0.5)
            s.report.ok("waited")
        self.assertEqual(quietly(body).status, 0)

    def test_a_program_that_ends_while_awaited_to_settle_stops_the_wait(self):
        def body(s):
            short = s.start(["sh", "-c", "echo gone >&2; exit 4"], "short")
            short.wait_end(5)
            with self.assertRaisesRegex(Stop, "status 4: gone"):
                short.wait_idle()
            s.report.ok("stopped")
        self.assertEqual(quietly(body).status, 0)


class _FakeDisplay:
    """A display on which the program's windows are, in turn, those of
    `windows` (the last stays), each showing `shows[window]`: None for a
    window that is gone or not mapped."""
    windows = []
    shows = {}

    def __enter__(self):
        return self

    def __exit__(self, *error):
        pass

    def window_of_pid(self, pid):
        return self.windows.pop(0) if len(self.windows) > 1 else self.windows[0]

    def pixels(self, window, width, height):
        return self.shows[window]


class FirstPictureTest(unittest.TestCase):
    def watch(self, windows, shows, screenshot=None):
        """first_picture of a 2 x 2 white picture on a _FakeDisplay; returns
        what it returned, or the Stop it raised."""
        display = type("Display", (_FakeDisplay,), {"windows": list(windows), "shows": shows})
        result = []

        def body(s):
            sleeper = s.start(["sleep", "60"], "sleeper")
            with mock.patch.object(x11, "_Connection", display), \
                    mock.patch.object(x11.Window, "screenshot", screenshot or (lambda window, path: None)):
                try:
                    result.append(x11.first_picture(sleeper, b"\xff" * 16, 2, 2, sleeper.started_ns, timeout=0.2))
                except Stop as stopped:
                    result.append(stopped)
            s.report.ok("watched")
        self.assertEqual(quietly(body).status, 0)
        return result[0]

    def test_a_window_made_again_is_found_again(self):
        # SDL may destroy the window it made first and open another for its
        # renderer: the first one found then shows nothing ever after.
        window, took = self.watch([41, 42], {41: None, 42: b"\xff" * 16})
        self.assertEqual(window.id, 42)
        self.assertGreaterEqual(took, 0)

    def test_a_picture_that_never_shows_stops_the_wait_with_what_was_shown(self):
        shots = []
        stopped = self.watch([42], {42: bytes(16)}, lambda window, path: shots.append((window.id, path)))
        self.assertIsInstance(stopped, Stop)
        self.assertIn("did not show the picture", str(stopped))
        self.assertEqual([window for window, _ in shots], [42])
        self.assertIn(shots[0][1], str(stopped))


@unittest.skipUnless(shutil.which("convert") and shutil.which("compare"), "needs ImageMagick")
class PictureTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="delve-harness-test-")
        self.addCleanup(shutil.rmtree, self.folder)

    def picture(self, name, size, fill, dot=None):
        path = os.path.join(self.folder, name)
        draw = ["-fill", "white", "-draw", "point %d,%d" % dot] if dot else []
        subprocess.run(["convert", "-size", size, "xc:" + fill, *draw, path], check=True)
        return path

    def test_counts_the_pixels_that_differ(self):
        red = self.picture("red.png", "40x30", "red")
        self.assertEqual(x11.differing_pixels(red, red), 0)
        self.assertEqual(x11.differing_pixels(red, self.picture("dot.png", "40x30", "red", (3, 4))), 1)

    def test_a_smaller_picture_found_inside_a_larger_one_is_not_the_same(self):
        # compare alone reports 0 here: it looks for the smaller picture
        # inside the larger one.
        self.assertEqual(x11.differing_pixels(self.picture("large.png", "40x30", "red"),
                                              self.picture("small.png", "4x3", "red")), 1200)


if __name__ == "__main__":
    unittest.main()
