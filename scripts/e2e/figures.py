"""Budget figures: every timing and memory budget is measured by the budgets
step (scripts/budgets) and written here as one JSON object per line, so that
one table shows them all with their limits.

    {"name": "page: a turn, key to canvas", "value": 2.4, "unit": "ms",
     "limit": 4.0, "bound": "max", "detail": "median of 160 keys"}

`bound` is "max" (the value must not exceed the limit) or "min" (it must
not fall below it). A figure whose limit is None is shown, not gated. A
figure whose value is None could not be measured (its detail says why):
the table fails on it as on a measurement that stopped, gated or not."""

import json


def record(path, name, value, unit, limit, bound="max", detail=""):
    """Appends one figure to the file at `path`; returns whether it is
    within its limit."""
    if bound not in ("max", "min"):
        raise ValueError("bound must be max or min, not %r" % bound)
    with open(path, "a", encoding="utf-8") as out:
        out.write(json.dumps({"name": name, "value": value, "unit": unit, "limit": limit,
                              "bound": bound, "detail": detail}) + "\n")
    return within(value, limit, bound)


def unmeasured(path, name, unit, limit, reason, bound="max"):
    """Appends a figure that could not be measured, `reason` as its detail,
    so that the table shows it and fails rather than pass without it."""
    record(path, name, None, unit, limit, bound, reason)


def tries_until_within(measure, limit, most, bound="max", value=lambda result: result):
    """Results of `measure()`, tried until the best `value` of them is
    within `limit`, `most` tries at the most. Other load on the machine only
    ever adds time, so a try within its limit is the figure's verdict and
    more tries could only make it better; one that misses gets every try to
    find a quiet moment. A shown figure (`limit` None) is tried once."""
    results = []
    while len(results) < max(1, most):
        results.append(measure())
        values = [value(r) for r in results]
        best = max(values) if bound == "min" else min(values)
        if limit is None or within(best, limit, bound):
            break
    return results


def within(value, limit, bound):
    if value is None:
        return False
    if limit is None:
        return True
    return value <= limit if bound == "max" else value >= limit


def read(path):
    """The figures in the file at `path`, in the order written."""
    figures = []
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            if line.strip():
                try:
                    figures.append(json.loads(line))
                except ValueError as error:
                    raise ValueError("%s: line %d: %s" % (path, number, error))
    return figures
