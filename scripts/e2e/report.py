"""How an end-to-end script reports: one line per check, "ok ..." or
"FAIL ...", a summary at the end and an exit status of 1 when any check
failed. A check that leaves nothing sensible to check after it raises Stop."""

import sys
import time


class Stop(Exception):
    """A check failed in a way that leaves nothing sensible to check after it."""


class Report:
    def __init__(self, name):
        self.name = name
        self.passed = 0
        self.failures = []
        self.skipped = []
        self.started = time.monotonic()

    def ok(self, text):
        self.passed += 1
        print("ok   " + text, flush=True)

    def fail(self, text):
        self.failures.append(text)
        print("FAIL " + text, flush=True)

    def skip(self, text, reason):
        self.skipped.append((text, reason))
        print("skip %s: %s" % (text, reason), flush=True)

    def check(self, condition, good, bad):
        if condition:
            self.ok(good)
        else:
            self.fail(bad)
        return condition

    def summary(self):
        """Prints the totals; returns the exit status."""
        took = time.monotonic() - self.started
        print("%s: %d passed, %d failed, %d skipped in %.0f s"
              % (self.name, self.passed, len(self.failures), len(self.skipped), took), flush=True)
        for text in self.failures:
            print("%s: FAILED %s" % (self.name, text), file=sys.stderr, flush=True)
        return 1 if self.failures else 0


def wait_until(condition, what, timeout, interval=0.05):
    """Calls `condition` until it returns something true, and returns that;
    raises Stop naming `what` when `timeout` seconds pass first."""
    end = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() >= end:
            raise Stop("%s: not within %.0f s" % (what, timeout))
        time.sleep(interval)
