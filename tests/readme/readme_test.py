#!/usr/bin/python3
"""The README's examples, run as a newcomer runs them: every block that the
README marks for this test,

  <!-- readme-test: transcript -->   commands ("$ ..."), each followed by
                                     what it prints
  <!-- readme-test: file PATH -->    the text of a file of the checkout

is run from the checkout (the commands in one shell, in a session of the
runner of their own) and compared with what the README says. In an expected
line, "…" stands for any text; a line "..." for any number of lines. What
depends on the host is made alike first: the checkout's folder reads as
/work/main (Z:\\work\\main), and the 32-bit lane is named as on a host that
runs 32-bit code.

  readme_test.py           (from CTest: VRL_SOURCE names the checkout)"""

import os
import re
import shlex
import subprocess
import sys
import tempfile
from pathlib import Path

SOURCE = Path(os.environ.get("VRL_SOURCE", Path(__file__).resolve().parents[2]))
README = SOURCE / "README.md"
MARKER = re.compile(r"^<!-- readme-test: (?:(?P<transcript>transcript)|file (?P<file>\S+)) -->$")
PROMPT = "$ "
ANY_LINES = "..."
ANY_TEXT = "…"
WRITTEN_CHECKOUT = "/work/main"
COMMAND_SEPARATOR = "@@readme-test command {}@@"
SEPARATOR_LINE = re.compile(re.escape(COMMAND_SEPARATOR).replace(r"\{\}", r"(\d+)"))
# The build is the test run's: the demo shows what is built, and leaves the
# build folders alone while the suite runs.
RUN_AS = {"scripts/demo": "scripts/demo --no-build"}
LANE_LINE = "demo: the 32-bit lane runs in "
WRITTEN_LANE = LANE_LINE + "this host's own Wine"


def marked_blocks(text):
    """(line number, marker match, block lines) for each marked block: the
    indented lines below the marker, blank lines within included."""
    lines = text.splitlines()
    blocks = []
    for number, line in enumerate(lines):
        marker = MARKER.match(line.strip())
        if not marker:
            continue
        block = []
        for following in lines[number + 1:]:
            if following.startswith("    ") or (not following.strip() and block):
                block.append(following[4:])
            else:
                break
        while block and not block[-1].strip():
            block.pop()
        blocks.append((number + 1, marker, block))
    return blocks


def commands(block):
    """[(command, expected lines)] of a transcript."""
    found = []
    for line in block:
        if line.startswith(PROMPT):
            found.append((line[len(PROMPT):], []))
        elif found:
            found[-1][1].append(line)
        else:
            raise ValueError(f"output before the first command: {line!r}")
    return found


def alike(text):
    """TEXT with what depends on the host written as the README writes it."""
    root = str(SOURCE.resolve())
    text = text.replace("Z:" + root.replace("/", "\\"), "Z:" + WRITTEN_CHECKOUT.replace("/", "\\"))
    text = text.replace(root, WRITTEN_CHECKOUT)
    lines = [line.rstrip("\r").rstrip() for line in text.split("\n")]
    return [WRITTEN_LANE if line.startswith(LANE_LINE) else line for line in lines]


def line_matches(expected, actual):
    if ANY_TEXT not in expected:
        return expected.rstrip() == actual
    pattern = ".*".join(re.escape(part) for part in expected.rstrip().split(ANY_TEXT))
    return re.fullmatch(pattern, actual) is not None


def lines_match(expected, actual):
    """Whether ACTUAL is EXPECTED, with its wildcards."""
    memo = {}

    def match(e, a):
        if (e, a) in memo:
            return memo[(e, a)]
        if e == len(expected):
            result = a == len(actual)
        elif expected[e].strip() == ANY_LINES:
            result = any(match(e + 1, rest) for rest in range(a, len(actual) + 1))
        else:
            result = a < len(actual) and line_matches(expected[e], actual[a]) and match(e + 1, a + 1)
        memo[(e, a)] = result
        return result

    return match(0, 0)


def run_transcript(transcript, scratch):
    script = ["set -u", "exec 2>&1", f"cd {shlex.quote(str(SOURCE))}"]
    for index, (command, _) in enumerate(transcript):
        for written, run in RUN_AS.items():
            if command == written or command.startswith(written + " "):
                command = run + command[len(written):]
        script.append(f"echo {shlex.quote(COMMAND_SEPARATOR.format(index))}")
        script.append(command)
    # A session of its own: what the commands start is ended with it, and
    # an --end among them never stops the suite's guest.
    run = subprocess.run([sys.executable, str(SOURCE / "scripts" / "runner"), "session", "--", "bash", "-c",
                          "\n".join(script)], capture_output=True, text=True, errors="replace", cwd=scratch,
                         env=dict(os.environ, LC_ALL="C.UTF-8"))
    output = run.stdout + run.stderr
    pieces = {}
    current = None
    for line in output.split("\n"):
        separator = SEPARATOR_LINE.fullmatch(line.strip())
        if separator:
            current = int(separator.group(1))
            pieces[current] = []
        elif current is not None:
            pieces[current].append(line)
    return {index: alike("\n".join(lines).rstrip("\n")) if lines else [] for index, lines in pieces.items()}, output


def check_transcript(line_number, block, scratch):
    failures = []
    transcript = commands(block)
    outputs, everything = run_transcript(transcript, scratch)
    for index, (command, expected) in enumerate(transcript):
        if index not in outputs:
            failures.append(f"README.md:{line_number}: `{command}` did not run; the shell printed:\n{everything}")
            break
        actual = trim(outputs[index])
        if not lines_match(expected, actual):
            failures.append(f"README.md:{line_number}: `{command}` printed\n" + indent(actual) +
                            "\nbut the README shows\n" + indent(expected))
    return failures


def trim(lines):
    lines = list(lines)
    while lines and lines[-1] == "":
        lines.pop()
    return lines


def indent(lines):
    return "\n".join("    | " + line for line in lines) or "    (nothing)"


def check_file(line_number, path, block):
    text = (SOURCE / path).read_text(encoding="utf-8").replace("\r\n", "\n")
    if trim(text.split("\n")) != block:
        return [f"README.md:{line_number}: {path} is not what the README shows:\n" + indent(text.split("\n"))]
    return []


def main():
    blocks = marked_blocks(README.read_text(encoding="utf-8"))
    if not blocks:
        print("FAIL: no blocks in README.md are marked for this test")
        return 1
    failures = []
    with tempfile.TemporaryDirectory(prefix="readme-test.") as scratch:
        for line_number, marker, block in blocks:
            if marker["file"]:
                failures += check_file(line_number, marker["file"], block)
            else:
                failures += check_transcript(line_number, block, scratch)
            print(f"README.md:{line_number}: {'checked' if not failures else 'checked, with failures so far'}")
    for failure in failures:
        print("FAIL: " + failure)
    print("PASS" if not failures else f"{len(failures)} example(s) differ from the README")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
