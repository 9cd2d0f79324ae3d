#!/usr/bin/python3
"""Seconds of langkit import and of vrl-conform on one language server,
each through Wine with its start included (the prefix's Wine server running),
the median of three runs against its goal. Prints; never fails on a figure.

Usage: import_conformance_bench.py VRL-CONFORM.EXE SERVER.dll"""

import os
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

LANGKIT = Path(__file__).resolve().parents[1] / "langkit" / "langkit"
RUNS = 3


def seconds(command):
    started = time.monotonic()
    subprocess.run(command, check=True, capture_output=True, timeout=600)
    return time.monotonic() - started


def main():
    conform, server = sys.argv[1], sys.argv[2]
    wine = os.environ["VRL_WINE"]
    subprocess.run([wine, conform, "--help"], capture_output=True, timeout=600)
    with tempfile.TemporaryDirectory() as root:
        imports = [seconds(["/usr/bin/python3", str(LANGKIT), "import", server, "--languages", f"{root}/{run}",
                            "--", wine, conform]) for run in range(RUNS)]
    checks = [seconds([wine, conform, server]) for _ in range(RUNS)]
    for name, figures, goal in (("import of one server", imports, 2.0), ("conformance check of one server", checks, 3.0)):
        # A row of the table that scripts/bench judges.
        print(f"| {name} | {statistics.median(figures):.2f} s | <= {goal:g} s |")
    return 0


if __name__ == "__main__":
    sys.exit(main())
