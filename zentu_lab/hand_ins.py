"""What a class handed in: a file of lines without a header, Moodle's
grading worksheet, or any gradebook's or form's file with the columns that
the setter names. Each answer is read as the student typed it."""

import re
from dataclasses import dataclass, field
from html.parser import HTMLParser
from pathlib import Path

from .class_file import (
    WORKSHEET_ANSWER,
    WORKSHEET_ID,
    compared,
    read_bytes,
    read_lines,
    read_named_table,
    table_names,
)
from .keys import KEY_LENGTH, from_hex
from .refusal import Refusal
from .table import Table, read_table

# The tags that an editor or a form writes; a cell with none is plain text,
# which may hold "<", ">" and "&" as a key does.
TAG = re.compile(r"</?(p|br|div|span|strong|b|em|i|u|s|sup|sub|pre|code|font|h[1-6]|ul|ol|li|a)(\s[^>]*)?/?>", re.I)
LINE_BREAKING = {"p", "br", "div", "li", "pre", "h1", "h2", "h3", "h4", "h5", "h6"}


class TextOfHtml(HTMLParser):
    """The text of HTML: its tags dropped, its entities decoded, and a line
    break where a paragraph or a line ends."""

    def __init__(self) -> None:
        super().__init__(convert_charrefs=True)
        self.text: list[str] = []

    def handle_data(self, data: str) -> None:
        self.text.append(data)

    def handle_starttag(self, tag: str, attributes: object) -> None:
        if tag == "br":
            self.text.append("\n")

    def handle_endtag(self, tag: str) -> None:
        if tag in LINE_BREAKING:
            self.text.append("\n")


def typed(cell: str, html: bool) -> str:
    """What the student typed: HTML read as text where HTML is, with
    &nbsp; as a blank, and the blank lines around it dropped."""
    if html or TAG.search(cell):
        parser = TextOfHtml()
        parser.feed(cell)
        parser.close()
        cell = "".join(parser.text).replace("\xa0", " ")
    lines = cell.replace("\r\n", "\n").split("\n")
    while lines and lines[0] == "":
        lines.pop(0)
    while lines and lines[-1] == "":
        lines.pop()
    return "\n".join(lines)


def answer_bytes(answer: bytes) -> bytes:
    """Ten hex digits, in either case, name a key: its bytes."""
    named = from_hex(answer) if len(answer) == 2 * KEY_LENGTH else None
    return answer if named is None else named


@dataclass
class HandIn:
    """A student's answers, in the order the file holds them: the last
    counts."""

    name: str
    answers: list[bytes] = field(default_factory=list)


@dataclass
class HandIns:
    """What a file handed in, by name as compared, and the file's table and
    identifier column where it has a header."""

    by_name: dict[str, HandIn]
    id_column: str
    table: Table | None = None
    worksheet: bool = False


def read_hand_ins(path: Path, id_column: str | None, answer_column: str | None) -> HandIns:
    if (id_column is None) != (answer_column is None):
        raise Refusal("--id-column and --answer-column go together: they name the columns of the hand-ins")
    if id_column is not None and answer_column is not None:
        return from_table(read_table(path, read_bytes(path)), id_column, answer_column, worksheet=False)
    worksheet = read_named_table(path)
    if worksheet is not None:
        if WORKSHEET_ANSWER not in worksheet.header:
            raise Refusal(
                f'{path}:1: this grading worksheet has no column "{WORKSHEET_ANSWER}": '
                "let the assignment take online text, and download the worksheet again"
            )
        return from_table(worksheet, WORKSHEET_ID, WORKSHEET_ANSWER, worksheet=True)
    by_name = {compared(line.name): HandIn(line.name, [answer_bytes(line.rest)]) for line in read_lines(path)}
    return HandIns(by_name, "name")


def from_table(table: Table, id_name: str, answer_name: str, worksheet: bool) -> HandIns:
    """Several rows may name one student, as a form that takes answers more
    than once gives them; a row whose answer is empty gives none. The
    worksheet's answers are HTML."""
    id_column = table.column(id_name, "--id-column")
    answer_column = table.column(answer_name, "--answer-column")
    by_name: dict[str, HandIn] = {}
    for row, (_, name) in zip(table.rows, table_names(table, id_column, once=False)):
        answer = typed(table.value(row, answer_column), html=worksheet)
        hand_in = by_name.setdefault(compared(name), HandIn(name))
        if answer != "":
            hand_in.answers.append(answer_bytes(answer.encode()))
    answered = {name: hand_in for name, hand_in in by_name.items() if hand_in.answers}
    return HandIns(answered, id_name, table, worksheet)
