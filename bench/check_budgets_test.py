#!/usr/bin/env python3
"""Tests of the budget checker on made-up benchmark output."""

import json
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_budgets  # noqa: E402


def entry(name, cpu, unit="us", real=None, repetition=0, **counters):
    e = {"name": name, "run_name": name, "run_type": "iteration", "repetition_index": repetition,
         "iterations": 100, "real_time": real if real is not None else cpu * 2, "cpu_time": cpu,
         "time_unit": unit}
    e.update(counters)
    return e


def results_for(turn_cpu=(6000, 6100, 5900), floor_cpu=(3250, 3250, 3250), level_cpu=(30, 30, 30),
                level_floor_cpu=(25, 25, 25), turn_files=1145, floor_files=1145, start_up_cpu=(40, 41, 39),
                extra=()):
    benchmarks = []
    for i, cpu in enumerate(turn_cpu):
        benchmarks.append(entry("BM_Turn", cpu, repetition=i, files_read=turn_files, bytes_written=108))
    for i, cpu in enumerate(floor_cpu):
        benchmarks.append(entry("BM_TurnIoFloor", cpu, repetition=i, files_read=floor_files))
    for i, cpu in enumerate(level_cpu):
        benchmarks.append(entry("BM_Level", cpu, "ms", repetition=i, files_read=4082, page_copies=336))
    for i, cpu in enumerate(level_floor_cpu):
        benchmarks.append(entry("BM_LevelFloor", cpu, "ms", repetition=i, files_read=4082, page_copies=336))
    for i, cpu in enumerate(start_up_cpu):
        benchmarks.append(entry("BM_StartUpToFirstLevel", cpu, "ms", repetition=i, files_read=6359))
    # Aggregates are in the file too; the checker must not count them as runs.
    benchmarks.append(dict(entry("BM_Turn", 1, repetition=0), run_type="aggregate", aggregate_name="mean"))
    benchmarks.extend(extra)
    return {"context": {"host_name": "test", "num_cpus": 2, "mhz_per_cpu": 1000, "delve_build_type": "Release"},
            "benchmarks": benchmarks}


class Checker(unittest.TestCase):
    def load(self, data):
        with tempfile.NamedTemporaryFile("w", suffix=".json", delete=False) as f:
            json.dump(data, f)
        self.addCleanup(os.unlink, f.name)
        return check_budgets.load_results(f.name)[1]

    def test_a_second_run_adds_repetitions_and_its_best_counts(self):
        paths = []
        for turn in ((7000, 7100, 6900), (6200, 7300, 7200)):
            with tempfile.NamedTemporaryFile("w", suffix=".json", delete=False) as f:
                json.dump(results_for(turn_cpu=turn), f)
            self.addCleanup(os.unlink, f.name)
            paths.append(f.name)
        one = check_budgets.load_results(paths[0])[1]
        self.assertFalse(check_budgets.check(one, (10 * 1024, 60, "test"))[1])  # 2.12x
        both = check_budgets.load_results(paths)[1]
        self.assertEqual(both["BM_Turn"]["repetitions"], 6)
        self.assertAlmostEqual(both["BM_Turn"]["cpu_best_ms"], 6.2)
        self.assertEqual(both["BM_TurnIoFloor"]["repetitions"], 6)
        self.assertTrue(check_budgets.check(both, (10 * 1024, 60, "test"))[1])  # 1.91x
        self.assertEqual(check_budgets.main(["--results", paths[0], "--results", paths[1]]), 0)

    def test_ratios_gate_on_the_best_repetition_of_each_side(self):
        results = self.load(results_for())
        self.assertAlmostEqual(results["BM_Turn"]["cpu_ms"], 6.0)
        self.assertAlmostEqual(results["BM_Turn"]["cpu_best_ms"], 5.9)
        self.assertAlmostEqual(results["BM_Level"]["cpu_ms"], 30.0)
        self.assertEqual(results["BM_Turn"]["repetitions"], 3)
        lines, ok = check_budgets.check(results, (10 * 1024, 60, "test"))
        self.assertTrue(ok)
        self.assertTrue(any("1.82x" in line for line in lines))
        # Load that slowed most of the turn's repetitions but not its best
        # one (and not the floor) is noise, not a slower turn...
        noisy = results_for(turn_cpu=(6400, 6800, 7000), floor_cpu=(3250, 3315, 3250))
        self.assertTrue(check_budgets.check(self.load(noisy), None)[1])
        # ...while a turn slow in every repetition fails.
        slow = results_for(turn_cpu=(6600, 6800, 7000), floor_cpu=(3250, 3185, 3380))
        self.assertFalse(check_budgets.check(self.load(slow), None)[1])

    def test_a_slow_turn_level_or_start_up_or_a_big_or_growing_replay_fails(self):
        self.assertFalse(check_budgets.check(self.load(results_for(turn_cpu=(6600,))), None)[1])
        self.assertFalse(check_budgets.check(self.load(results_for(level_cpu=(40, 38, 39))), None)[1])
        self.assertFalse(check_budgets.check(self.load(results_for(start_up_cpu=(51, 55, 52))), None)[1])
        self.assertTrue(check_budgets.check(self.load(results_for(start_up_cpu=(49, 55, 52))), None)[1])
        self.assertFalse(check_budgets.check(self.load(results_for()), (17 * 1024, 0, "test"))[1])
        self.assertFalse(check_budgets.check(self.load(results_for()), (10 * 1024, 1025, "test"))[1])
        # Exactly at the limits passes.
        at_limits = results_for(turn_cpu=(6500,), start_up_cpu=(50,))
        self.assertTrue(check_budgets.check(self.load(at_limits), (16 * 1024, 1024, "test"))[1])

    def test_a_floor_of_other_work_is_refused(self):
        results = self.load(results_for(floor_files=1000))
        with self.assertRaises(check_budgets.BudgetError):
            check_budgets.check(results, None)
        with self.assertRaises(check_budgets.BudgetError):
            check_budgets.check(self.load(results_for(turn_files=0, floor_files=0)), None)

    def test_strace_shows_the_floor_doing_the_turns_file_work(self):
        summary = """% time     seconds  usecs/call     calls    errors syscall
------ ----------- ----------- --------- --------- ----------------
 40.00    0.221215           6     32076       175 openat
 30.00    0.100000           3     30000           read
  0.74    0.004108           9       440       150 newfstatat
------ ----------- ----------- --------- --------- ----------------
100.00    0.552989           5     97779       327 total
"""
        self.assertEqual(check_budgets.parse_strace_summary(summary),
                         {"openat": (32076, 175), "read": (30000, 0), "newfstatat": (440, 150)})
        turn = {"openat": (1154, 7), "read": (1145, 0), "close": (1147, 0), "write": (2, 0), "rename": (2, 0),
                "newfstatat": (4, 0)}
        floor = {"openat": (1147, 0), "read": (1145, 0), "close": (1147, 0), "write": (2, 0), "rename": (2, 0)}
        lines = check_budgets.compare_file_calls(turn, floor)
        self.assertIn("| openat (succeeded) | 1,147 | 1,147 |", lines)
        self.assertIn("| failed openat | 7 | 0 |", lines)
        self.assertIn("| newfstatat | 4 | 0 |", lines)
        lines, ok = check_budgets.check(self.load(results_for()), None, (turn, floor))
        self.assertTrue(ok)
        for call, count in (("read", 1000), ("rename", 0), ("openat", 1154)):
            with self.assertRaises(check_budgets.BudgetError):
                check_budgets.compare_file_calls(turn, dict(floor, **{call: (count, 0)}))
        with self.assertRaises(check_budgets.BudgetError):
            check_budgets.compare_file_calls({}, {})

    def test_missing_or_failed_benchmarks_are_errors(self):
        data = results_for()
        data["benchmarks"] = [b for b in data["benchmarks"] if b["name"] != "BM_LevelFloor"]
        with self.assertRaises(check_budgets.BudgetError):
            check_budgets.check(self.load(data), None)
        failed = dict(entry("BM_TileLoad", 1), error_occurred=True, error_message="the font tile is missing")
        with self.assertRaises(check_budgets.BudgetError):
            self.load(results_for(extra=[failed]))

    def test_only_a_release_build_is_judged(self):
        for build_type, status in (("Release", 0), ("Debug", 2), ("", 2)):
            data = results_for()
            data["context"]["delve_build_type"] = build_type
            with tempfile.NamedTemporaryFile("w", suffix=".json", delete=False) as f:
                json.dump(data, f)
            self.addCleanup(os.unlink, f.name)
            with open(os.devnull, "w") as quiet:
                stdout, stderr = sys.stdout, sys.stderr
                sys.stdout = sys.stderr = quiet
                try:
                    self.assertEqual(check_budgets.main(["--results", f.name]), status, build_type)
                finally:
                    sys.stdout, sys.stderr = stdout, stderr

    def test_the_replay_keys_are_fixed_and_never_end_the_game(self):
        keys = check_budgets.replay_keys(1000)
        self.assertEqual(len(keys), 1000)
        self.assertEqual(keys, check_budgets.replay_keys(1000))
        self.assertNotIn("\x1b", keys)
        self.assertGreaterEqual(keys.count("~"), 3)
        self.assertGreater(sum(keys.count(k) for k in "8624"), 500)


if __name__ == "__main__":
    unittest.main()
