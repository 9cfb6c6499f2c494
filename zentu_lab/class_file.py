"""The one reader of a setter's files of one student a line: class lists,
answer sheets and hand-ins.

A line is a name, then a tab and fields separated by tabs. Blank lines and
lines that begin with # are skipped, a line may end in CR LF, and a UTF-8
byte-order mark, as spreadsheets write one, is skipped. A name stands once
in a file, and is letters, digits, ".", "_" and "-", not first "." or "-"."""

import re
from dataclasses import dataclass
from pathlib import Path

from .keys import Key, is_key, shown
from .refusal import Refusal

NAME = re.compile(rb"[A-Za-z0-9_][A-Za-z0-9._-]*")


@dataclass(frozen=True)
class Line:
    """One student's line: where it stands, the name, and the bytes after
    the tab that ends the name (empty where there is none)."""

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
    answers.tsv writes it."""

    line: Line
    key: Key | None
    checked: bool

    @property
    def name(self) -> str:
        return self.line.name


def read_bytes(path: Path) -> bytes:
    try:
        return path.read_bytes()
    except FileNotFoundError:
        raise Refusal(f"There is no file {path}") from None
    except IsADirectoryError:
        raise Refusal(f"{path} is a folder: name the file of students in it") from None
    except OSError as error:
        raise Refusal(f"Cannot read {path}: {error.strerror}") from None


def read_lines(path: Path) -> list[Line]:
    content = read_bytes(path)
    if content.startswith((b"\xff\xfe", b"\xfe\xff")):
        raise Refusal(f"{path} is UTF-16: save it as UTF-8 text, which is what it is read as")
    content = content.removeprefix(b"\xef\xbb\xbf")
    if b"\0" in content:
        raise Refusal(f"{path} holds zero bytes, as UTF-16 does: save it as UTF-8 text")
    lines: list[Line] = []
    names: set[str] = set()
    for number, text in enumerate(content.split(b"\n"), start=1):
        text = text.removesuffix(b"\r")
        if text == b"" or text.startswith(b"#"):
            continue
        name, _, rest = text.partition(b"\t")
        if NAME.fullmatch(name) is None:
            if b" " in name or b"," in name:
                raise Refusal(
                    f"{path}:{number}: a name holds no blank or comma, and a tab separates it "
                    f"from what follows: {shown(text)}"
                )
            raise Refusal(
                f'{path}:{number}: a name is letters, digits, ".", "_" and "-", not first "." or "-": {shown(text)}'
            )
        line = Line(path, number, name.decode("ascii"), rest)
        if line.name in names:
            raise Refusal(f"{line.where}: {line.name} stands twice")
        names.add(line.name)
        lines.append(line)
    return lines


def read_class(path: Path) -> list[ClassEntry]:
    """A class list or an answer sheet: a name, which gets a random key; or
    a name, a tab and a key; or those, a tab and the key's hex, which must
    agree with the key."""
    entries: list[ClassEntry] = []
    for line in read_lines(path):
        if line.rest == b"":
            entries.append(ClassEntry(line, None, False))
            continue
        fields = line.rest.split(b"\t")
        if len(fields) > 2:
            raise Refusal(
                f"{line.where}: a line holds a name, or a name, a tab and a key, and at most a tab "
                f"and the key's hex after them, not {len(fields) + 1} fields"
            )
        if not is_key(fields[0]):
            raise Refusal(
                f"{line.where}: {line.name}'s key must be five printable ASCII characters, not {shown(fields[0])}"
            )
        key = Key(fields[0])
        if len(fields) == 2:
            if fields[1].decode("latin-1").lower() != key.hex:
                raise Refusal(
                    f'{line.where}: {line.name}\'s key is "{key.text}", but the hex beside it says '
                    f"{shown(fields[1].lower())}"
                )
        entries.append(ClassEntry(line, key, len(fields) == 2))
    return entries
