"""A gradebook's files: a header row that names the columns, then a row a
record; CSV with a comma or a semicolon between fields, or TSV, told apart
by the header row. A quoted field may hold the separator, quotes and line
breaks; the file may begin with a UTF-8 byte-order mark and end its lines
in CR LF. Every cell keeps where it stands in the file, so that a file
written back differs only in the cells that were filled in."""

from dataclasses import dataclass
from pathlib import Path

from .refusal import Refusal

SEPARATORS = (",", ";", "\t")
BOM = "\ufeff"
POINTS_POSSIBLE = "Points Possible"


@dataclass(frozen=True)
class Cell:
    text: str
    start: int  # where the field stands in Table.text, quotes and all
    end: int


@dataclass(frozen=True)
class Row:
    number: int  # the line it begins on
    cells: list[Cell]

    @property
    def end(self) -> int:
        return self.cells[-1].end


@dataclass
class Table:
    path: Path
    text: str  # without the byte-order mark
    bom: bool
    separator: str
    header: list[str]
    rows: list[Row]  # below the header, blank ones left out
    points_possible: Row | None = None  # Canvas's second row, which is no student's

    def column(self, name: str, option: str) -> int:
        """The index of the column NAME, which OPTION gave."""
        if name in self.header:
            return self.header.index(name)
        columns = ", ".join(f'"{column}"' for column in self.header)
        raise Refusal(f'{self.path}:1: there is no column "{name}" for {option}: the columns are {columns}')

    @staticmethod
    def value(row: Row, index: int) -> str:
        return row.cells[index].text if index < len(row.cells) else ""

    def filled(self, changes: dict[tuple[int, int], str]) -> bytes:
        """The file with the cells at (row, column) indexes replaced, and
        every other byte as it was."""
        pieces: list[str] = []
        last = 0
        for (row_index, column), value in sorted(changes.items()):
            row = self.rows[row_index]
            field = self.quoted(value)
            if column < len(row.cells):
                cell = row.cells[column]
                pieces += [self.text[last : cell.start], field]
                last = cell.end
            else:
                pieces += [self.text[last : row.end], self.separator * (column - len(row.cells) + 1), field]
                last = row.end
        pieces.append(self.text[last:])
        return ((BOM if self.bom else "") + "".join(pieces)).encode()

    def quoted(self, value: str) -> str:
        if any(character in value for character in (self.separator, '"', "\r", "\n")):
            return '"' + value.replace('"', '""') + '"'
        return value


def decoded(path: Path, content: bytes) -> str:
    if content.startswith((b"\xff\xfe", b"\xfe\xff")):
        raise Refusal(f"{path} is UTF-16: save it as UTF-8 text, which is what it is read as")
    try:
        return content.decode("utf-8")
    except UnicodeDecodeError as error:
        line = content[: error.start].count(b"\n") + 1
        raise Refusal(f"{path}:{line}: this is not UTF-8 text: save the file as UTF-8") from None


def split_rows(path: Path, text: str, separator: str) -> list[Row]:
    rows: list[Row] = []
    position, line = 0, 1
    while position < len(text):
        number, cells = line, []
        while True:
            start = position
            if text.startswith('"', position):
                value: list[str] = []
                position += 1
                while True:
                    close = text.find('"', position)
                    if close == -1:
                        raise Refusal(f"{path}:{number}: a quoted field has no closing quote: close it, or save again")
                    value.append(text[position:close])
                    line += text.count("\n", position, close)
                    position = close + 1
                    if not text.startswith('"', position):
                        break
                    value.append('"')
                    position += 1
                if position < len(text) and text[position] not in (separator, "\r", "\n"):
                    raise Refusal(
                        f'{path}:{line}: a quoted field goes on after its closing quote: write "" for a quote'
                    )
                cells.append(Cell("".join(value), start, position))
            else:
                ends = [found for found in (text.find(c, position) for c in (separator, "\n")) if found != -1]
                position = min(ends, default=len(text))
                end = position - 1 if text.startswith("\r\n", position - 1) else position
                cells.append(Cell(text[start:end], start, end))
                position = end
            if text.startswith(separator, position):
                position += 1
                continue
            break
        if text.startswith("\r\n", position):
            position += 2
        elif text.startswith("\n", position):
            position += 1
        line += 1
        rows.append(Row(number, cells))
    return rows


def header_separator(text: str) -> str:
    """The separator that the header row, outside quotes, holds most of."""
    first = text.split("\n", 1)[0]
    outside = "".join(part for index, part in enumerate(first.split('"')) if index % 2 == 0)
    return max(SEPARATORS, key=outside.count)


def read_table(path: Path, content: bytes) -> Table:
    text = decoded(path, content)
    bom = text.startswith(BOM)
    text = text.removeprefix(BOM)
    separator = header_separator(text)
    rows = split_rows(path, text, separator)
    if not rows:
        raise Refusal(f"{path} is empty: a header row that names the columns comes first")
    header = [cell.text.strip() for cell in rows[0].cells]
    data = [row for row in rows[1:] if any(cell.text.strip() for cell in row.cells)]
    points_possible = None
    if data and data[0].cells[0].text.strip() == POINTS_POSSIBLE:
        points_possible = data.pop(0)
    return Table(path, text, bom, separator, header, data, points_possible)
