#!/usr/bin/env python3
"""The difficulty targets of the shipped content, over delve-sim --json.

With the cautious policy:
  - the starting party reaches level 3 in at least half of the seeds,
  - no member has fallen before turn 50 in at least 90% of them,
  - the starting party has fallen by level 6 in at least a quarter of them.
With the explorer policy, not every seed ends on level 1.

The same shares hold for the committed 200-seed report and for the 40 seeds
CI plays, so a content change that breaks one shows in the other.

usage: sim_targets.py CAUTIOUS.json EXPLORER.json
"""

import json
import sys


def load(path, policy):
    with open(path, encoding="utf-8") as f:
        report = json.load(f)
    if report.get("policy") != policy:
        raise SystemExit(f"sim_targets.py: {path}: a report of policy {report.get('policy')!r}, not {policy!r}")
    return report


def main(argv):
    if len(argv) != 3:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    cautious = load(argv[1], "cautious")
    explorer = load(argv[2], "explorer")
    runs = cautious["runs"]
    t = cautious["targets"]
    checks = [
        ("cautious: starting party reaches level 3", t["reachedLevel3"], runs, 0.50),
        ("cautious: no member fallen before turn 50", t["noFallBeforeTurn50"], runs, 0.90),
        ("cautious: starting party fallen by level 6", t["startingPartyFallenByLevel6"], runs, 0.25),
    ]
    failed = False
    for name, count, total, share in checks:
        ok = total > 0 and count >= share * total
        failed |= not ok
        print(f"{'ok  ' if ok else 'FAIL'} {name}: {count} of {total} (at least {share:.0%})")
    left = explorer["targets"]["leftLevel1"]
    ok = left > 0
    failed |= not ok
    print(f"{'ok  ' if ok else 'FAIL'} explorer: not every seed ends on level 1: {left} of {explorer['runs']} left it")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
