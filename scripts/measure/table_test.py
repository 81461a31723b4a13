"""The budgets table: limits both ways, figures shown without a limit, and
a file that cannot be read."""

import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
import table  # noqa: E402
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

    def test_a_missing_empty_or_broken_file_cannot_be_judged(self):
        self.assertEqual(table.main([self.path]), 2)
        open(self.path, "w").close()
        self.assertEqual(table.main([self.path]), 2)
        with open(self.path, "w") as out:
            out.write('{"name": "turn", "value": 1\n')
        self.assertEqual(table.main([self.path]), 2)
        with self.assertRaises(ValueError):
            figures.record(self.path, "turn", 1, "ms", 2, "less")


if __name__ == "__main__":
    unittest.main()
