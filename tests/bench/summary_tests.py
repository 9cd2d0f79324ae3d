#!/usr/bin/python3
"""The bench's verdicts: a missed goal fails the run, a lane whose benchmarks
did not print their figures is no success, and --report-only judges nothing."""

import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

SUMMARY = Path(__file__).resolve().parents[2] / "bench" / "summary.py"
HEADER = "| Measured | Baseline | Measured ns/call | Baseline ns/call | Ratio | Goal |\n|---|---|---:|---:|---:|---|\n"


def ratio_row(figure, goal):
    return f"| GetString | LoadStringW | 100 | 90 | {figure}x | {goal} |\n"


class Verdicts(unittest.TestCase):
    def summary(self, *lanes, report_only=False):
        with tempfile.TemporaryDirectory() as folder:
            arguments = ["--report-only"] if report_only else []
            for index, text in enumerate(lanes):
                output = Path(folder) / f"{index}.log"
                output.write_text(text, encoding="utf-8")
                arguments.append(f"lane {index}={output}")
            return subprocess.run([sys.executable, SUMMARY, *arguments], capture_output=True, text=True)

    def test_a_missed_goal_fails_the_run_and_says_so(self):
        run = self.summary(HEADER + ratio_row("1.50", "<= 1.5x"), HEADER + ratio_row("16.44", "<= 11x"))
        self.assertEqual(run.returncode, 1)
        self.assertIn("| 1.50x | <= 1.5x | met |", run.stdout)
        self.assertIn("| 16.44x | <= 11x | NOT met |", run.stdout)

    def test_figures_without_a_goal_are_reported_never_judged(self):
        run = self.summary(HEADER + ratio_row("9.00", "reported only") + "| langkit check of es | 0.40 s | <= 1 s |\n")
        self.assertEqual(run.returncode, 0, run.stdout)
        self.assertIn("| 9.00x | reported only | reported |", run.stdout)
        self.assertIn("| langkit check of es | 0.40 s | <= 1 s | met |", run.stdout)

    def test_report_only_prints_the_figures_and_exits_0(self):
        run = self.summary(HEADER + ratio_row("16.44", "<= 11x"), report_only=True)
        self.assertEqual(run.returncode, 0)
        self.assertIn("| 16.44x | <= 11x | over the goal |", run.stdout)

    def test_a_lane_without_figures_is_no_success(self):
        run = self.summary(HEADER + ratio_row("1.00", "<= 1.5x"), "error: 3 creations failed\n", report_only=True)
        self.assertEqual(run.returncode, 2)
        self.assertIn("lane 1: no figures", run.stderr)

    def test_only_the_tables_are_printed(self):
        run = self.summary("Test command: /usr/bin/wine\nVRL_WINE=x\n" + HEADER + ratio_row("1.00", "<= 1.5x"))
        self.assertNotIn("VRL_WINE", run.stdout)
        self.assertEqual(run.stdout.splitlines()[0], "== lane 0")


if __name__ == "__main__":
    unittest.main()
