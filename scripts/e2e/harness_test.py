#!/usr/bin/env python3
"""The harness's own ways to fail: a script that stops must fail, clean up
all it started and keep its folder; waits must end at their deadline; two
pictures must not pass as the same when they are not. Needs no display."""

import base64
import contextlib
import importlib.util
import io
import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
from unittest import mock

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from e2e import bidi, browser, firefox, program, x11  # noqa: E402
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


class CanvasPictureTest(unittest.TestCase):
    """The canvas's pixels, read back through the page, become the PNG
    that is held against delve-replay's."""

    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="delve-harness-test-")
        self.addCleanup(shutil.rmtree, self.folder)

    def canvas(self, width, height, rgba):
        page = mock.Mock()
        page.execute_script.return_value = [width, height, base64.b64encode(bytes(rgba)).decode()]
        path = os.path.join(self.folder, "canvas.png")
        browser.canvas_png(page, path)
        return path

    def test_every_pixel_lands_where_it_was(self):
        # Three by two, every pixel its own colour: a row or channel out of
        # place would show.
        pixels = [(255, 0, 0), (0, 255, 0), (0, 0, 255), (1, 2, 3), (250, 128, 7), (0, 0, 0)]
        path = self.canvas(3, 2, [c for p in pixels for c in p + (255,)])
        text = subprocess.run(["convert", path, "-depth", "8", "rgb:-"], capture_output=True, check=True).stdout
        self.assertEqual(list(text), [c for p in pixels for c in p])

    def test_a_canvas_not_opaque_is_refused(self):
        with self.assertRaises(Stop):
            self.canvas(1, 1, [10, 20, 30, 128])

    def test_pictures_of_other_sizes_never_match(self):
        red = os.path.join(self.folder, "red.png")
        subprocess.run(["convert", "-size", "40x30", "xc:red", red], check=True)
        small = os.path.join(self.folder, "small.png")
        subprocess.run(["convert", "-size", "4x3", "xc:red", small], check=True)
        self.assertEqual(browser.differing_pixels(red, red, os.path.join(self.folder, "d.png")), "0")
        self.assertNotEqual(browser.differing_pixels(red, small, os.path.join(self.folder, "d.png")), "0")


class _Socket:
    """A websocket that answers from a script: what recv gives, in order."""

    def __init__(self, messages):
        self.messages = [json.dumps(m) for m in messages]
        self.sent = []

    def send(self, text):
        self.sent.append(json.loads(text))

    def recv(self):
        import websocket
        if not self.messages:
            raise websocket.WebSocketTimeoutException("nothing came")
        return self.messages.pop(0)

    def settimeout(self, _):
        pass

    def close(self):
        pass


@unittest.skipIf(importlib.util.find_spec("websocket") is None, "python3-websocket is not installed")
class BidiTest(unittest.TestCase):
    def client(self, messages):
        socket = _Socket(messages)
        with mock.patch("websocket.create_connection", return_value=socket) as connect:
            client = bidi.Bidi("ws://127.0.0.1:1/session")
        # Firefox refuses a handshake with an Origin header.
        self.assertTrue(connect.call_args.kwargs.get("suppress_origin"))
        return client, socket

    def test_events_before_the_answer_are_kept_and_the_answer_is_the_commands(self):
        client, socket = self.client([
            {"type": "event", "method": "log.entryAdded", "params": {"level": "error", "text": "one"}},
            {"type": "success", "id": 99, "result": {"stale": True}},
            {"type": "success", "id": 1, "result": {"value": 7}}])
        self.assertEqual(client.command("script.evaluate", {"x": 1}), {"value": 7})
        self.assertEqual(socket.sent, [{"id": 1, "method": "script.evaluate", "params": {"x": 1}}])
        self.assertEqual([e["params"]["text"] for e in client.take_events("log.entryAdded")], ["one"])
        self.assertEqual(client.take_events("log.entryAdded"), [])

    def test_an_error_answer_raises_and_a_missing_answer_ends_at_the_deadline(self):
        client, _ = self.client([{"type": "error", "id": 1, "error": "no such frame", "message": "gone"}])
        with self.assertRaisesRegex(bidi.BidiError, "no such frame"):
            client.command("browsingContext.navigate")
        with self.assertRaises(Stop):
            client.command("session.status", timeout=0.2)


@unittest.skipIf(not shutil.which("node"), "node is not installed")
class FirefoxScriptTest(unittest.TestCase):
    """The function body a check runs, wrapped as Firefox is handed it, gives
    back what selenium's execute_script would."""

    def run_in_node(self, declaration, args):
        program_text = ("var window = globalThis; (%s)(%s).then(function (r) { process.stdout.write(r); });"
                        % (declaration, json.dumps(json.dumps(args))))
        return json.loads(subprocess.run(["node", "-e", program_text], capture_output=True, text=True,
                                         check=True).stdout)

    def test_arguments_results_and_promises_come_through(self):
        self.assertEqual(self.run_in_node(firefox.CALL % "return [arguments[1], arguments[0].a, '%s 100%'];",
                                          [{"a": [1, 2]}, "x"]), ["x", [1, 2], "%s 100%"])
        self.assertIsNone(self.run_in_node(firefox.CALL % "var nothing = 1;", []))
        later = "return new Promise(function (done) { setTimeout(function () { done(arguments.length); }, 10); });"
        self.assertEqual(self.run_in_node(firefox.CALL % later, []), 0)

    def test_an_async_body_is_handed_a_callback_last(self):
        script = []
        page = firefox.Firefox.__new__(firefox.Firefox)
        page.execute_script = lambda body, *args: script.append((body, args))
        page.execute_async_script("var done = arguments[arguments.length - 1]; done(arguments[0] + 1);", 41)
        body, args = script[0]
        self.assertEqual(self.run_in_node(firefox.CALL % body, list(args)), 42)


if __name__ == "__main__":
    unittest.main()
