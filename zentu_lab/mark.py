"""A setter's marking: what a class handed in, against the answer sheets
that its releases wrote.

The hand-ins have a class list's form: a name, a tab, and what the student
handed in, the key's five characters or its ten hex digits in either case.
The marks have a line for each student of the answer sheets, in their
order, then one for each name handed in that no sheet holds."""

from dataclasses import dataclass, field
from enum import Enum
from pathlib import Path

from .class_file import read_class, read_lines
from .keys import KEY_LENGTH, from_hex
from .refusal import Refusal


class Status(Enum):
    CORRECT = "correct"  # the key, or a key that the setter gave this student and others
    WRONG = "wrong"  # anything else
    MISSING = "missing"  # no line handed in
    BLANKS = "blanks"  # the key only once blanks at the ends are left out
    COPIED = "copied"  # another student's key
    UNKNOWN = "unknown"  # a name that no answer sheet holds


@dataclass
class Mark:
    name: str
    status: Status
    handed_in: bytes | None  # None: nothing was handed in
    key_of: list[str] = field(default_factory=list)  # whose key was handed in, where not this student's
    handed_in_by: list[str] = field(default_factory=list)  # who else handed in this student's key

    def line(self) -> str:
        handed_in = "" if self.handed_in is None else self.handed_in.hex()
        return "\t".join(
            [self.name, self.status.value, handed_in, ", ".join(self.key_of), ", ".join(self.handed_in_by)]
        )


MARKS_HEADER = "# name\tstatus\thanded in, as hex\tkey of\thanded in by\n"


def read_answers(sheets: list[Path]) -> dict[str, bytes]:
    """Each student's key, from answer sheets as the release writes them."""
    keys: dict[str, bytes] = {}
    for sheet in sheets:
        for entry in read_class(sheet):
            if not entry.checked or entry.key is None:
                raise Refusal(
                    f"{entry.line.where}: an answer sheet's line is a name, the key and the key's hex, "
                    "as the release writes them in answers.tsv"
                )
            if entry.name in keys:
                raise Refusal(f"{entry.line.where}: {entry.name} stands in two answer sheets")
            keys[entry.name] = entry.key.data
    return keys


def read_handed_in(path: Path) -> dict[str, bytes]:
    """What each name handed in: ten hex digits name a key."""
    handed_in: dict[str, bytes] = {}
    for line in read_lines(path):
        named = from_hex(line.rest) if len(line.rest) == 2 * KEY_LENGTH else None
        handed_in[line.name] = line.rest if named is None else named
    return handed_in


def mark(keys: dict[str, bytes], handed_in: dict[str, bytes]) -> list[Mark]:
    owners: dict[bytes, list[str]] = {}
    for name, key in keys.items():
        owners.setdefault(key, []).append(name)
    handers: dict[bytes, list[str]] = {}
    for name, given in handed_in.items():
        handers.setdefault(given, []).append(name)

    marks = []
    for name in [*keys, *(name for name in handed_in if name not in keys)]:
        given = handed_in.get(name)
        key = keys.get(name)
        if key is None:
            assert given is not None
            marks.append(Mark(name, Status.UNKNOWN, given, owners.get(given, [])))
            continue
        others = [other for other in handers.get(key, []) if other != name]
        if given is None:
            marks.append(Mark(name, Status.MISSING, None, [], others))
        elif given == key:
            marks.append(Mark(name, Status.CORRECT, given, [], others))
        elif given in owners:
            marks.append(Mark(name, Status.COPIED, given, owners[given], others))
        elif given.strip(b" ") == key.strip(b" "):
            marks.append(Mark(name, Status.BLANKS, given, [], others))
        else:
            marks.append(Mark(name, Status.WRONG, given, [], others))
    return marks


def marks_file(marks: list[Mark]) -> bytes:
    return (MARKS_HEADER + "".join(mark.line() + "\n" for mark in marks)).encode()


def summary(marks: list[Mark]) -> str:
    """The count of each status, then who handed in whose key."""
    counts = ", ".join(f"{sum(mark.status is status for mark in marks)} {status.value}" for status in Status)
    copies = [
        f"{mark.name} handed in the key of {', '.join(mark.key_of)}" for mark in marks if mark.status is Status.COPIED
    ]
    return "\n".join([counts, *copies]) + "\n"
