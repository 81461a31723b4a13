"""The budgets table: limits both ways, figures shown without a limit, a
figure that could not be measured, and a file that cannot be read; the
phone's Lighthouse gate, which runs again while the machine spoils its runs."""

import contextlib
import io
import json
import os
import subprocess
import sys
import tempfile
import unittest
from unittest import mock

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
import lighthouse  # noqa: E402
import page_watch  # noqa: E402
import table  # noqa: E402
import window  # noqa: E402
from e2e import figures  # noqa: E402


class TableTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.path = os.path.join(self.folder.name, "figures.jsonl")

    def tearDown(self):
        self.folder.cleanup()

    def test_every_bound_and_a_shown_figure(self):
        self.assertTrue(figures.record(self.path, "turn", 2.4, "ms", 4.0, "max"))
        self.assertTrue(figures.record(self.path, "score", 95, "", 95, "min"))
        self.assertTrue(figures.record(self.path, "paint", 1500, "ms", None))
        rows, met = table.rows(figures.read(self.path))
        self.assertTrue(met)
        self.assertEqual([row[3] for row in rows], ["pass", "pass", "shown"])
        self.assertEqual(table.main([self.path]), 0)

    def test_one_figure_over_or_under_fails_the_table(self):
        figures.record(self.path, "turn", 2.4, "ms", 4.0, "max")
        self.assertFalse(figures.record(self.path, "score", 94, "", 95, "min"))
        self.assertEqual(table.main([self.path]), 1)
        os.remove(self.path)
        self.assertFalse(figures.record(self.path, "turn", 4.01, "ms", 4.0, "max"))
        self.assertEqual(table.main([self.path]), 1)

    def test_a_figure_that_could_not_be_measured_fails_the_table_as_unmeasured(self):
        # Gated or only shown, beside a missed budget or not: the table ends
        # with 2, as the measurement that could not take it did.
        figures.record(self.path, "turn", 2.4, "ms", 4.0, "max")
        figures.unmeasured(self.path, "continue", "ms", 1000, "no picture within 30 s")
        rows, met = table.rows(figures.read(self.path))
        self.assertFalse(met)
        self.assertEqual(rows[1], ("continue", "-", "<= 1,000 ms", "UNMEASURED", "no picture within 30 s"))
        self.assertEqual(table.main([self.path]), 2)
        figures.record(self.path, "score", 94, "", 95, "min")
        self.assertEqual(table.main([self.path]), 2)
        os.remove(self.path)
        figures.record(self.path, "turn", 2.4, "ms", 4.0, "max")
        figures.unmeasured(self.path, "short continue", "ms", None, "the game ended")
        self.assertEqual(table.main([self.path]), 2)

    def test_a_measurement_that_cannot_measure_leaves_its_figures_as_unmeasured(self):
        # The window's budgets, without the programs to measure: every one
        # of its figures is in the file, not measured, and the table fails.
        done = subprocess.run([sys.executable, window.__file__, "--build", self.folder.name, "--figures", self.path],
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        self.assertEqual(done.returncode, 2, done.stderr)
        self.assertIn("cannot measure: no delve in", done.stderr)
        rows, _ = table.rows(figures.read(self.path))
        self.assertEqual([row[0] for row in rows], [name for name, _, _ in window.expected()])
        self.assertIn("window: a 10,000-turn game (killed) continued, to its picture", [row[0] for row in rows])
        self.assertEqual({row[3] for row in rows}, {"UNMEASURED"})
        self.assertEqual(table.main([self.path]), 2)

    def measure_window_with(self, measure):
        """window.main() with `measure` in place of its measurements, on a
        build folder whose programs are there but do nothing: its status
        and the figures it left."""
        for program in ("game/delve", "delve-replay", "bench/delve-long-game"):
            os.makedirs(os.path.dirname(os.path.join(self.folder.name, program)), exist_ok=True)
            with open(os.path.join(self.folder.name, program), "w") as out:
                out.write("#!/bin/sh\n")
            os.chmod(os.path.join(self.folder.name, program), 0o755)
        argv = ["window.py", "--build", self.folder.name, "--figures", self.path]
        # The session keeps its folder on a failure: here, in the test's.
        with mock.patch.object(window, "Measure", measure), mock.patch.object(sys, "argv", argv), \
                mock.patch.dict(os.environ, {"TMPDIR": self.folder.name}), \
                contextlib.redirect_stdout(io.StringIO()), contextlib.redirect_stderr(io.StringIO()):
            status = window.main()
        rows, _ = table.rows(figures.read(self.path))
        return status, rows

    def test_a_fault_in_the_middle_of_measuring_is_no_success(self):
        # Once printed as a failure yet ended with 0, its figures missing.
        class Broken:
            def __init__(self, s, *rest):
                {}["a fault"]
        status, rows = self.measure_window_with(Broken)
        self.assertEqual(status, 2)
        self.assertEqual(len(rows), len(window.expected()))
        self.assertEqual({row[3] for row in rows}, {"UNMEASURED"})
        self.assertIn("a fault", rows[0][4])
        self.assertEqual(table.main([self.path]), 2)

    def test_a_failure_reported_or_an_exit_on_the_way_is_no_measurement(self):
        # A check that said FAIL although every figure was written, and a
        # helper that gave up with an exit of its own (status 1 would read
        # as a missed budget, 0 as success): both could not measure.
        test = self

        class EveryFigureButAFail:
            def __init__(self, s, build, tries, figures_path, measured):
                self.s, self.figures_path, self.measured = s, figures_path, measured

            def idle(self):
                for name, unit, limit in window.expected():
                    figures.record(self.figures_path, name, 1, unit, limit, "max")
                    self.measured.append(name)
                self.s.report.fail("the window showed the wrong screen")

            def ends(self):
                pass

            def continues(self):
                pass

        status, rows = self.measure_window_with(EveryFigureButAFail)
        self.assertEqual(status, 2)
        self.assertEqual(table.main([self.path]), 0, "the figures themselves were all written and within")
        os.remove(self.path)

        for code in (0, 1, 3):
            class Leaves:
                def __init__(self, s, *rest):
                    sys.exit(code)
            status, rows = self.measure_window_with(Leaves)
            test.assertEqual(status, 2, "exit %d on the way" % code)
            test.assertEqual({row[3] for row in rows}, {"UNMEASURED"})
            test.assertIn("status %d" % code, rows[0][4])
            test.assertEqual(table.main([self.path]), 2)
            os.remove(self.path)

    def test_a_missing_empty_or_broken_file_cannot_be_judged(self):
        self.assertEqual(table.main([self.path]), 2)
        open(self.path, "w").close()
        self.assertEqual(table.main([self.path]), 2)
        with open(self.path, "w") as out:
            out.write('{"name": "turn", "value": 1\n')
        self.assertEqual(table.main([self.path]), 2)
        with self.assertRaises(ValueError):
            figures.record(self.path, "turn", 1, "ms", 2, "less")


class TriesTest(unittest.TestCase):
    def test_tries_stop_at_the_first_within_and_a_miss_gets_them_all(self):
        def measuring(values):
            it = iter(values)
            return lambda: next(it)
        self.assertEqual(figures.tries_until_within(measuring([5, 1]), 8, 3), [5])
        self.assertEqual(figures.tries_until_within(measuring([9, 7, 1]), 8, 3), [9, 7])
        self.assertEqual(figures.tries_until_within(measuring([9, 9, 9, 1]), 8, 3), [9, 9, 9])
        self.assertEqual(figures.tries_until_within(measuring([90, 99]), 95, 3, bound="min"), [90, 99])
        self.assertEqual(figures.tries_until_within(measuring([(9, "a"), (2, "b")]), 8, 3, value=lambda t: t[0]),
                         [(9, "a"), (2, "b")])
        # A shown figure, and a count below one, are measured once.
        self.assertEqual(figures.tries_until_within(measuring([9, 1]), None, 3), [9])
        self.assertEqual(figures.tries_until_within(measuring([9, 1]), 8, 0), [9])


class SingleKeyGameTest(unittest.TestCase):
    """The game the page's link length is measured on: a real game's start,
    then one key a turn, checkpoints where the game writes them."""

    START = (b"delve-recording 1\nprogram 0.2.0\ndata eaf6be04b032b2a6\nk 0 x @ 4 2 \\r\n"
             b"t 0x1.f4p+11\n# seed 4242\nk 0 6 2 8\n# level 1\nk 3 6 6\n")

    def test_one_key_a_turn_after_the_real_start(self):
        game = page_watch.single_key_game(self.START, 120, 5).decode("latin-1")
        self.assertEqual(game, page_watch.single_key_game(self.START, 120, 5).decode("latin-1"))
        lines = game.splitlines()
        self.assertEqual(lines[:6], self.START.decode("latin-1").splitlines()[:6])
        keys = [line.split(" ") for line in lines[6:] if line.startswith("k ")]
        self.assertEqual([int(k[1]) for k in keys], list(range(120)))
        self.assertTrue(all(len(k) == 3 and (k[2] in page_watch.SINGLE_KEYS or k[2] == "\\x20") for k in keys))
        self.assertIn("\\x20", [k[2] for k in keys])
        checkpoints = [line.split(" ") for line in lines if line.startswith("p ")]
        self.assertEqual([int(p[1]) for p in checkpoints], [50, 100, 120])
        self.assertTrue(all(len(p[2]) == 16 for p in checkpoints))
        self.assertEqual(lines[-1], "# end closed")
        self.assertTrue(game.endswith("\n"))
        # A checkpoint follows the key of the turn it digests.
        self.assertEqual(lines[lines.index(" ".join(checkpoints[0])) - 1].split(" ")[1], "49")


# A stand-in for Lighthouse: each run writes the report of the next phone
# run of PHONE_RUNS (score, blocking ms), a desktop run a fixed one, and
# counts the runs in RUN_COUNT.
FAKE_LIGHTHOUSE = r"""
import json, os, sys
args = dict(a[2:].split("=", 1) for a in sys.argv[1:] if a.startswith("--") and "=" in a)
desktop = "--preset=desktop" in sys.argv
count = os.environ["RUN_COUNT"]
runs = open(count).read().split() if os.path.exists(count) else []
phone = json.loads(os.environ["PHONE_RUNS"])
score, tbt = (100, 0) if desktop else phone[min(len(runs), len(phone) - 1)]
open(count, "a").write(("d" if desktop else "m") + "\n")
categories = {name: {"score": (score if name == "performance" else 100) / 100.0, "auditRefs": []}
              for name in ("performance", "accessibility", "best-practices", "seo")}
audits = {"total-blocking-time": {"numericValue": tbt}, "first-contentful-paint": {"numericValue": 900},
          "largest-contentful-paint": {"numericValue": 950}, "long-tasks": {"details": {"items": []}}}
json.dump({"categories": categories, "audits": audits, "lighthouseVersion": "fake"}, open(args["output-path"], "w"))
"""


class LighthouseGateTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.web = os.path.join(self.folder.name, "web")
        os.makedirs(self.web)
        for name in lighthouse.PAGE_FILES:
            open(os.path.join(self.web, name), "w").close()
        self.fake = os.path.join(self.folder.name, "lighthouse")
        with open(self.fake, "w") as out:
            out.write("#!%s\n%s" % (sys.executable, FAKE_LIGHTHOUSE))
        os.chmod(self.fake, 0o755)
        self.count = os.path.join(self.folder.name, "runs")
        self.path = os.path.join(self.folder.name, "figures.jsonl")

    def tearDown(self):
        self.folder.cleanup()

    def measure(self, phone):
        """Measures with the phone's runs giving `phone` in turn; the runs
        made and the table's verdict."""
        env = {"DELVE_LIGHTHOUSE": self.fake, "RUN_COUNT": self.count, "PHONE_RUNS": json.dumps(phone)}
        # Any program stands in for the browser: the fake never starts it.
        with mock.patch.dict(os.environ, env), mock.patch.object(lighthouse, "CHROMIUM", sys.executable), \
                contextlib.redirect_stdout(io.StringIO()):
            lighthouse.measure(self.web, self.path, None)
        with open(self.count) as f:
            runs = f.read().split()
        rows, _ = table.rows(figures.read(self.path))
        with contextlib.redirect_stdout(io.StringIO()):
            verdict = table.main([self.path])
        return runs, {row[0]: row for row in rows}, verdict

    def test_a_page_fast_enough_at_once_is_measured_once(self):
        runs, rows, verdict = self.measure([[99, 40], [96, 224], [92, 347]])
        self.assertEqual(runs, ["m", "d"])
        self.assertEqual(verdict, 0)
        self.assertEqual(rows["page: Lighthouse performance, phone"][3], "pass")
        self.assertEqual(rows["page: Lighthouse total blocking time, phone"][1:4], ("40 ms", "<= 200 ms", "pass"))

    def test_runs_spoilt_by_load_are_run_again_until_one_meets_the_budget(self):
        # Each figure's best counts, whichever run it came from.
        runs, rows, verdict = self.measure([[82, 450], [96, 224], [92, 347], [88, 310], [90, 180]])
        self.assertEqual(runs, ["m"] * 5 + ["d"])
        self.assertEqual(verdict, 0)
        self.assertIn("best of 5 mobile runs (82, 96, 92, 88, 90)", rows["page: Lighthouse performance, phone"][4])
        self.assertIn("run 4 times more", rows["page: Lighthouse performance, phone"][4])

    def test_a_page_too_slow_in_every_run_fails_after_the_last(self):
        runs, rows, verdict = self.measure([[88, 380]])
        self.assertEqual(runs, ["m"] * lighthouse.MOBILE_RUNS_MAX + ["d"])
        self.assertEqual(verdict, 1)
        self.assertEqual(rows["page: Lighthouse performance, phone"][2:4], (">= 95", "FAIL"))
        self.assertEqual(rows["page: Lighthouse total blocking time, phone"][3], "FAIL")


if __name__ == "__main__":
    unittest.main()
