"""A setter's marking: what a class handed in, against the answer sheets
that its releases wrote.

The marks have a line for each student of the answer sheets, in their
order, then one for each name handed in that no sheet holds. A student's
last answer counts; one that is another student's key, in any of that
student's rows, is a copy."""

from dataclasses import dataclass, field
from enum import Enum
from pathlib import Path

from .class_file import compared, read_class
from .hand_ins import HandIn
from .refusal import Refusal


class Status(Enum):
    CORRECT = "correct"  # the key, or a key that the setter gave this student and others
    WRONG = "wrong"  # anything else
    MISSING = "missing"  # no answer handed in
    BLANKS = "blanks"  # the key only once blanks at the ends are left out
    COPIED = "copied"  # another student's key
    UNKNOWN = "unknown"  # a name that no answer sheet holds


@dataclass(frozen=True)
class Student:
    name: str
    key: bytes


@dataclass
class Mark:
    name: str
    status: Status
    handed_in: bytes | None  # the answer that counts; None where there is none
    key_of: list[str] = field(default_factory=list)  # whose key was handed in, where not this student's
    handed_in_by: list[str] = field(default_factory=list)  # who else handed in this student's key

    def line(self) -> str:
        handed_in = "" if self.handed_in is None else self.handed_in.hex()
        return "\t".join(
            [self.name, self.status.value, handed_in, ", ".join(self.key_of), ", ".join(self.handed_in_by)]
        )


MARKS_HEADER = "# name\tstatus\thanded in, as hex\tkey of\thanded in by\n"


def read_answers(sheets: list[Path]) -> dict[str, Student]:
    """Each student, by name as compared, from answer sheets as the release
    writes them."""
    students: dict[str, Student] = {}
    for sheet in sheets:
        for entry in read_class(sheet):
            if not entry.checked or entry.key is None:
                raise Refusal(
                    f"{entry.where}: an answer sheet's line is a name, the key and the key's hex, "
                    "as the release writes them in answers.tsv"
                )
            if compared(entry.name) in students:
                raise Refusal(f"{entry.where}: {entry.name} stands in two answer sheets")
            students[compared(entry.name)] = Student(entry.name, entry.key.data)
    return students


def mark(students: dict[str, Student], hand_ins: dict[str, HandIn]) -> dict[str, Mark]:
    """Each name's mark, by name as compared: the students' first."""
    owners: dict[bytes, list[str]] = {}
    for student in students.values():
        owners.setdefault(student.key, []).append(student.name)
    handers: dict[bytes, list[str]] = {}
    for hand_in in hand_ins.values():
        for answer in dict.fromkeys(hand_in.answers):
            handers.setdefault(answer, []).append(hand_in.name)

    marks: dict[str, Mark] = {}
    for name, student in students.items():
        hand_in = hand_ins.get(name, HandIn(student.name))
        given = hand_in.answers[-1] if hand_in.answers else None
        key = student.key
        others = [other for other in handers.get(key, []) if compared(other) != name]
        copied = [owner for answer in hand_in.answers if answer != key for owner in owners.get(answer, [])]
        if given is None:
            marks[name] = Mark(student.name, Status.MISSING, None, [], others)
        elif copied:
            marks[name] = Mark(student.name, Status.COPIED, given, list(dict.fromkeys(copied)), others)
        elif given == key:
            marks[name] = Mark(student.name, Status.CORRECT, given, [], others)
        elif given.strip(b" ") == key.strip(b" "):
            marks[name] = Mark(student.name, Status.BLANKS, given, [], others)
        else:
            marks[name] = Mark(student.name, Status.WRONG, given, [], others)
    for name, hand_in in hand_ins.items():
        if name not in students:
            given = hand_in.answers[-1]
            marks[name] = Mark(hand_in.name, Status.UNKNOWN, given, owners.get(given, []))
    return marks


def marks_file(marks: dict[str, Mark]) -> bytes:
    return (MARKS_HEADER + "".join(mark.line() + "\n" for mark in marks.values())).encode()


def summary(marks: dict[str, Mark]) -> str:
    """The count of each status, then who handed in whose key."""
    statuses = [mark.status for mark in marks.values()]
    counts = ", ".join(f"{statuses.count(status)} {status.value}" for status in Status)
    copies = [
        f"{mark.name} handed in the key of {', '.join(mark.key_of)}"
        for mark in marks.values()
        if mark.status is Status.COPIED
    ]
    return "\n".join([counts, *copies]) + "\n"
