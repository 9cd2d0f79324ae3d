"""A session is one run of a script (a test run, the demo, a packaging run)
that asks the runner for Windows programs. The runner records what it booted
and started for the session; when the session ends, exactly that is stopped:
a guest only by the run that booted it, whatever ran before or beside it.

A session is a folder; VRL_RUNNER_SESSION names it to the programs of the run.
  guests  the state folders of the guests it booted, one a line
  homes   the host Wine homes whose servers it started, one a line
"""

import os
from pathlib import Path


def _record(session, name, folder):
    if not session:
        return
    try:
        with open(Path(session) / name, "a", encoding="utf-8", errors="surrogateescape") as record:
            record.write(f"{os.path.abspath(folder)}\n")
    except OSError:
        pass   # a session that has ended already: nothing to stop later


def record_boot(session, state):
    _record(session, "guests", state)


def record_home(session, home):
    _record(session, "homes", home)


def recorded(session, name):
    try:
        text = (Path(session) / name).read_text(encoding="utf-8", errors="surrogateescape")
    except OSError:
        return []
    return list(dict.fromkeys(line for line in text.splitlines() if line))
