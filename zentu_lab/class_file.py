"""The one reader of a setter's files of students: class lists, answer
sheets and hand-ins.

A file without a header has one student a line: a name, then a tab and
fields separated by tabs. Blank lines and lines that begin with # are
skipped, a line may end in CR LF, and a UTF-8 byte-order mark, as
spreadsheets write one, is skipped. A file with a header is a gradebook's
(table.py): the setter names its columns, or it is Moodle's grading
worksheet, whose columns are known.

A name is what the gradebook identifies a student by: an e-mail address,
Moodle's "Participant 1234567", a user name or an ID number. It stands once
in a file, and e-mail addresses are compared without regard to case. It
may hold anything that can name a folder safely, and that answers.tsv can
hold: no "/", no control character, not first ".", "-" or "#". Without a
header, a name may hold a blank or a comma only where a tab follows it."""

import unicodedata
from dataclasses import dataclass
from pathlib import Path

from .keys import Key, is_key, shown
from .refusal import Refusal
from .table import Table, read_table

# Moodle's grading worksheet: the columns it always has, and those that a
# class and a marking read.
WORKSHEET_COLUMNS = ("Identifier", "Full name", "Status", "Grade", "Maximum Grade", "Feedback comments")
WORKSHEET_ID = "Identifier"
WORKSHEET_NAME = "Full name"
WORKSHEET_ANSWER = "Online text"


def identifier_fault(name: str) -> str | None:
    """Why NAME cannot name a student's folder, or None where it can."""
    if name == "":
        return "a name is empty"
    if "/" in name:
        return 'a name holds no "/"'
    if any(unicodedata.category(character) == "Cc" for character in name):
        return "a name holds no control character"
    if name.startswith((".", "-")):
        return 'a name does not begin with "." or "-"'
    if name.startswith("#"):
        return 'a name does not begin with "#", which begins a comment in answers.tsv'
    return None


def compared(name: str) -> str:
    """NAME as gradebooks compare it: an e-mail address ignores case."""
    return name.casefold() if "@" in name else name


@dataclass(frozen=True)
class Line:
    """One student's line of a file without a header: where it stands, the
    name, and the bytes after the tab that ends the name (empty where there
    is none)."""

    path: Path
    number: int
    name: str
    rest: bytes

    @property
    def where(self) -> str:
        return f"{self.path}:{self.number}"


@dataclass(frozen=True)
class ClassEntry:
    """A student of a class list or an answer sheet: the key is None where
    the release draws one; checked, where the key came with its hex, as
    answers.tsv writes it; the full name, for Moodle's feedback folders."""

    where: str
    name: str
    key: Key | None
    checked: bool
    full_name: str | None = None


def read_bytes(path: Path) -> bytes:
    try:
        return path.read_bytes()
    except FileNotFoundError:
        raise Refusal(f"There is no file {path}") from None
    except IsADirectoryError:
        raise Refusal(f"{path} is a folder: name the file of students in it") from None
    except OSError as error:
        raise Refusal(f"Cannot read {path}: {error.strerror}") from None


class Names:
    """The names a file has given so far, each once."""

    def __init__(self) -> None:
        self.seen: set[str] = set()

    def add(self, where: str, name: str) -> None:
        if compared(name) in self.seen:
            raise Refusal(f"{where}: {name} stands twice")
        self.seen.add(compared(name))


def read_lines(path: Path) -> list[Line]:
    content = read_bytes(path)
    if content.startswith((b"\xff\xfe", b"\xfe\xff")):
        raise Refusal(f"{path} is UTF-16: save it as UTF-8 text, which is what it is read as")
    if b"\0" in content:
        raise Refusal(f"{path} holds zero bytes, as UTF-16 does: save it as UTF-8 text")
    lines: list[Line] = []
    names = Names()
    for number, line in enumerate(content.removeprefix(b"\xef\xbb\xbf").split(b"\n"), start=1):
        line = line.removesuffix(b"\r")
        if line == b"" or line.startswith(b"#"):
            continue
        name, tab, rest = line.partition(b"\t")
        try:
            text = name.decode("utf-8")
        except UnicodeDecodeError:
            raise Refusal(f"{path}:{number}: a name is UTF-8 text: {shown(line)}") from None
        if not tab and (" " in text or "," in text):
            raise Refusal(
                f"{path}:{number}: a name holds a blank or a comma only where a tab follows it, "
                f"which separates it from what follows: {shown(line)}"
            )
        fault = identifier_fault(text)
        if fault is not None:
            raise Refusal(f"{path}:{number}: {fault}: {shown(line)}")
        names.add(f"{path}:{number}", text)
        lines.append(Line(path, number, text, rest))
    return lines


def read_class(path: Path) -> list[ClassEntry]:
    """A class list or an answer sheet without a header: a name, which gets
    a random key; or a name, a tab and a key; or those, a tab and the key's
    hex, which must agree with the key."""
    entries: list[ClassEntry] = []
    for line in read_lines(path):
        if line.rest == b"":
            entries.append(ClassEntry(line.where, line.name, None, False))
            continue
        fields = line.rest.split(b"\t")
        if len(fields) > 2:
            raise Refusal(
                f"{line.where}: a line holds a name, or a name, a tab and a key, and at most a tab "
                f"and the key's hex after them, not {len(fields) + 1} fields"
            )
        key = class_key(line.where, line.name, fields[0])
        if len(fields) == 2 and fields[1].decode("latin-1").lower() != key.hex:
            raise Refusal(
                f'{line.where}: {line.name}\'s key is "{key.text}", but the hex beside it says '
                f"{shown(fields[1].lower())}"
            )
        entries.append(ClassEntry(line.where, line.name, key, len(fields) == 2))
    return entries


def class_key(where: str, name: str, given: bytes) -> Key:
    if not is_key(given):
        raise Refusal(f"{where}: {name}'s key must be five printable ASCII characters, not {shown(given)}")
    return Key(given)


def is_worksheet(table: Table) -> bool:
    return all(column in table.header for column in WORKSHEET_COLUMNS)


def read_named_table(path: Path) -> Table | None:
    """The file as a table, where its first line is Moodle's worksheet's
    header; None for a file without a header."""
    content = read_bytes(path)
    if not content.removeprefix(b"\xef\xbb\xbf").lstrip(b'"').startswith(WORKSHEET_ID.encode()):
        return None
    table = read_table(path, content)
    return table if is_worksheet(table) else None


def table_names(table: Table, id_column: int, once: bool = True) -> list[tuple[str, str]]:
    """Each row's place and name, refused where a name is unsafe, or, where
    each must stand ONCE, twice."""
    names = Names()
    found = []
    for row in table.rows:
        where = f"{table.path}:{row.number}"
        name = table.value(row, id_column).strip()
        fault = identifier_fault(name)
        if fault is not None:
            raise Refusal(f'{where}: {fault}, in the column "{table.header[id_column]}": {shown(name.encode())}')
        if once:
            names.add(where, name)
        found.append((where, name))
    return found


def read_class_table(
    table: Table, id_name: str, key_name: str | None, full_name: str | None = None
) -> list[ClassEntry]:
    """A class list with a header: the column ID_NAME names each student,
    KEY_NAME's cell, where given and not empty, is the student's key."""
    id_column = table.column(id_name, "--id-column")
    key_column = None if key_name is None else table.column(key_name, "--key-column")
    name_column = None if full_name is None else table.column(full_name, "the full name")
    entries = []
    for row, (where, name) in zip(table.rows, table_names(table, id_column)):
        given = "" if key_column is None else table.value(row, key_column)
        key = class_key(where, name, given.encode()) if given else None
        full = None if name_column is None else table.value(row, name_column)
        entries.append(ClassEntry(where, name, key, False, full))
    return entries


def read_class_list(path: Path, id_column: str | None, key_column: str | None) -> list[ClassEntry]:
    """A class list in any of its forms: with --id-column, a gradebook's
    file; Moodle's grading worksheet, known by its header; or a file of
    lines without a header."""
    if id_column is not None:
        return read_class_table(read_table(path, read_bytes(path)), id_column, key_column)
    if key_column is not None:
        raise Refusal("--key-column names a column of a class list with a header: give --id-column too")
    worksheet = read_named_table(path)
    if worksheet is not None:
        return read_class_table(worksheet, WORKSHEET_ID, None, WORKSHEET_NAME)
    return read_class(path)
