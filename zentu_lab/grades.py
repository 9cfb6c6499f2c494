"""Grades for a course's gradebook: each student's grade and what the
student may know of the marking, in the file that the gradebook imports.

Moodle's grading worksheet goes back up as it came down, with "Grade" and
"Feedback comments" filled in. A gradebook's export (Canvas's, Moodle's
grade export) goes back with one column filled in. Otherwise a CSV of the
identifier, "Grade" and "Feedback", which Moodle's gradebook import maps."""

import csv
import io
import re
from dataclasses import dataclass

from .class_file import WORKSHEET_ID, compared
from .mark import Mark, Status
from .refusal import Refusal
from .table import Table

# Who copied from whom stays in the setter's marks, never in a file for
# students.
FEEDBACK = {
    Status.CORRECT: "Correct.",
    Status.WRONG: "Not correct.",
    Status.COPIED: "Not correct.",
    Status.BLANKS: "Your answer had blanks at its ends: the setter will look at it.",
    Status.MISSING: "No answer.",
}
NUMBER = re.compile(r"[0-9]+([.,][0-9]+)?")


def grade(status: Status, points: str) -> str:
    """The points for a correct answer, 0 for none, and nothing where the
    setter is to judge."""
    if status is Status.CORRECT:
        return points
    return "" if status is Status.BLANKS else "0"


def points_option(text: str | None) -> str | None:
    if text is not None and NUMBER.fullmatch(text) is None:
        raise Refusal(f'--points is what a correct answer scores, a number such as 1 or 10.5, not "{text}"')
    return text


@dataclass
class Gradebook:
    """A gradebook's export, with the columns that match its rows to the
    students and that take their grades."""

    table: Table
    id_column: int
    grade_column: int

    def filled(self, marks: dict[str, Mark], points: str | None) -> bytes:
        """The export with each student's grade; points default to Canvas's
        "Points Possible" for the column."""
        possible = self.table.points_possible
        if points is None and possible is not None:
            points = self.table.value(possible, self.grade_column).strip() or None
        changes = {}
        for index, row in enumerate(self.table.rows):
            mark = marks.get(compared(self.table.value(row, self.id_column).strip()))
            if mark is not None and mark.status in FEEDBACK:
                changes[(index, self.grade_column)] = grade(mark.status, points or "1")
        return self.table.filled(changes)


def worksheet_filled(table: Table, marks: dict[str, Mark], points: str | None) -> bytes:
    """Moodle's grading worksheet with each student's grade and feedback,
    and every other cell as it came; points default to the row's "Maximum
    Grade"."""
    id_column = table.column(WORKSHEET_ID, "the worksheet")
    grade_column = table.column("Grade", "the worksheet")
    feedback_column = table.column("Feedback comments", "the worksheet")
    maximum_column = table.column("Maximum Grade", "the worksheet")
    changes = {}
    for index, row in enumerate(table.rows):
        mark = marks.get(compared(table.value(row, id_column).strip()))
        if mark is None or mark.status not in FEEDBACK:
            continue
        row_points = points or table.value(row, maximum_column).strip() or "1"
        changes[(index, grade_column)] = grade(mark.status, row_points)
        changes[(index, feedback_column)] = FEEDBACK[mark.status]
    return table.filled(changes)


def grades_csv(id_column: str, marks: dict[str, Mark], points: str | None) -> bytes:
    """The students' identifiers under the hand-ins' own column name, with
    "Grade" and "Feedback"."""
    out = io.StringIO()
    writer = csv.writer(out, lineterminator="\n")
    writer.writerow([id_column, "Grade", "Feedback"])
    for mark in marks.values():
        if mark.status in FEEDBACK:
            writer.writerow([mark.name, grade(mark.status, points or "1"), FEEDBACK[mark.status]])
    return out.getvalue().encode()
