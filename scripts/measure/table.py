#!/usr/bin/env python3
"""Prints every budget figure the budgets step measured as one table, each
with its limit, and exits 1 when any is outside its limit (2 when the
figures cannot be read, or one of them could not be measured).

usage: table.py FIGURES.jsonl [--markdown FILE.md]
"""

import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from e2e import figures  # noqa: E402


def number(value):
    if isinstance(value, float) and not value.is_integer():
        return "%.2f" % value if abs(value) < 100 else "{:,.0f}".format(value)
    return "{:,}".format(int(value))


def rows(entries):
    """(name, measured, limit, verdict, detail) for each figure, and whether
    all are within their limits. A figure that could not be measured has
    the verdict UNMEASURED and meets no limit."""
    table = []
    all_met = True
    for entry in entries:
        unit = entry.get("unit", "")
        gap = "" if unit in ("", "x", "%") else " "
        value = entry.get("value")
        measured = "-" if value is None else number(value) + gap + unit
        limit = entry.get("limit")
        bound = entry.get("bound", "max")
        limit_text = "" if limit is None else "%s %s%s%s" % ("<=" if bound == "max" else ">=", number(limit), gap,
                                                            unit)
        if value is None:
            verdict = "UNMEASURED"
            all_met = False
        elif limit is None:
            verdict = "shown"
        else:
            met = figures.within(value, limit, bound)
            verdict = "pass" if met else "FAIL"
            all_met = all_met and met
        table.append((entry["name"], measured, limit_text, verdict, entry.get("detail", "")))
    return table, all_met


def render(table):
    head = ("Budget", "Measured", "Limit", "", "How")
    widths = [max(len(str(row[i])) for row in [head] + table) for i in range(5)]
    lines = ["| " + " | ".join(str(cell).ljust(width) for cell, width in zip(row, widths)) + " |"
             for row in [head] + table]
    lines.insert(1, "|" + "|".join("-" * (width + 2) for width in widths) + "|")
    return lines


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("figures")
    parser.add_argument("--markdown", help="also write the table to this file")
    args = parser.parse_args(argv)
    try:
        entries = figures.read(args.figures)
    except (OSError, ValueError) as error:
        print("budgets: %s" % error, file=sys.stderr)
        return 2
    if not entries:
        print("budgets: %s holds no figures" % args.figures, file=sys.stderr)
        return 2
    table, all_met = rows(entries)
    lines = render(table)
    print("\n".join(lines))
    if args.markdown:
        with open(args.markdown, "w", encoding="utf-8") as out:
            out.write("\n".join(lines) + "\n")
    missed = [row[0] for row in table if row[3] == "FAIL"]
    unmeasured = [row[0] for row in table if row[3] == "UNMEASURED"]
    if all_met:
        print("budgets: all %d met" % sum(row[3] == "pass" for row in table))
    if missed:
        print("budgets: MISSED: " + "; ".join(missed))
    if unmeasured:
        print("budgets: NOT MEASURED: " + "; ".join(unmeasured))
        return 2
    return 0 if all_met else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
