#!/usr/bin/python3
"""Reads the output of the benchmarks and prints what they found: one table
per lane, each measure with its figure, its goal and the verdict. Exits 1 when
a goal is missed (unless --report-only) and 2 when a lane printed no figure,
which means its benchmarks did not run to their end.

  summary.py [--report-only] TITLE=OUTPUT-FILE...

The benchmarks print their figures as table rows:
  the ratios:   | measured | baseline | ns | ns | 1.23x | <= 1.5x |
  the timings:  | what | 1.23 s | <= 2 s |
A goal column of "reported only" marks a figure without a goal."""

import re
import sys
from pathlib import Path

RATIO_ROW = re.compile(r"^\| (?P<measured>[^|]+) \| (?P<baseline>[^|]+) \| [\d.]+ \| [\d.]+ \| "
                       r"(?P<figure>[\d.]+)x \| (?P<goal>[^|]+) \|$")
TIMING_ROW = re.compile(r"^\| (?P<measured>[^|]+) \| (?P<figure>[\d.]+) s \| (?P<goal>[^|]+) \|$")
GOAL = re.compile(r"^<= (?P<limit>[\d.]+) ?(?P<unit>x|s)$")


def measures(text):
    """(measure, figure text, goal text, missed or None) for each row of TEXT."""
    found = []
    for line in text.splitlines():
        line = line.strip()
        ratio = RATIO_ROW.match(line)
        timing = None if ratio else TIMING_ROW.match(line)
        row = ratio or timing
        if not row:
            continue
        unit = "x" if ratio else " s"
        name = row["measured"].strip()
        if ratio:
            name = f"{name}, against {row['baseline'].strip()}"
        goal = row["goal"].strip()
        limit = GOAL.match(goal)
        missed = float(row["figure"]) > float(limit["limit"]) if limit else None
        found.append((name, f"{row['figure']}{unit}", goal if limit else "reported only", missed))
    return found


def verdict(missed, report_only):
    if missed is None:
        return "reported"
    if report_only:
        return "over the goal" if missed else "within the goal"
    return "NOT met" if missed else "met"


def table(title, rows, report_only):
    lines = [f"== {title}", "| Measure | Figure | Goal | Verdict |", "|---|---:|---|---|"]
    lines += [f"| {name} | {figure} | {goal} | {verdict(missed, report_only)} |" for name, figure, goal, missed in rows]
    return "\n".join(lines) + "\n"


def main(arguments):
    report_only = "--report-only" in arguments
    lanes = [argument for argument in arguments if argument != "--report-only"]
    if not lanes or any("=" not in lane for lane in lanes):
        print("usage: summary.py [--report-only] TITLE=OUTPUT-FILE...", file=sys.stderr)
        return 2
    missed_any = empty = False
    for lane in lanes:
        title, _, path = lane.partition("=")
        try:
            rows = measures(Path(path).read_text(encoding="utf-8", errors="replace"))
        except OSError as error:
            print(f"bench: {path}: {error.strerror}", file=sys.stderr)
            return 2
        print(table(title, rows, report_only))
        if not rows:
            print(f"bench: {title}: no figures; its output is in {path}", file=sys.stderr)
            empty = True
        missed_any |= any(missed for _, _, _, missed in rows)
    if empty:
        return 2
    return 1 if missed_any and not report_only else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
