"""What a check found: an error refuses the file, a warning is only told.
Each names the file, the line and, where it is known, the string id."""

from dataclasses import dataclass

ERROR = "error"
WARNING = "warning"
# Told only: neither refuses nor counts as an unfinished text.
NOTE = "note"


@dataclass(frozen=True)
class Problem:
    severity: str
    path: str
    line: int | None
    string_id: str | None
    message: str

    def __str__(self):
        """One line, whatever the file held: an id that is not printable is
        quoted, a message of several lines is joined."""
        where = f"{self.path}:{self.line}" if self.line else self.path
        shown = self.string_id if self.string_id is None or self.string_id.isprintable() else repr(self.string_id)
        about = f" id {shown}:" if shown is not None else ""
        message = "; ".join(line.strip() for line in self.message.splitlines() if line.strip())
        return f"{where}: {self.severity}:{about} {message}"


def errors(problems):
    return [problem for problem in problems if problem.severity == ERROR]


class Refused(Exception):
    """A file or folder that the kit cannot work from, with its problems."""

    def __init__(self, problems):
        super().__init__("\n".join(str(problem) for problem in problems))
        self.problems = list(problems)
