"""Gradebooks' and forms' files: the reader of tables, class lists with a
header, hand-ins read as typed, and the grades written for import."""

from pathlib import Path

import pytest

from zentu_lab import cli
from zentu_lab.class_file import read_class_list
from zentu_lab.hand_ins import read_hand_ins, typed
from zentu_lab.refusal import Refusal
from zentu_lab.table import read_table

ANSWERS = (
    "# name\tkey\tkey in hex\n"
    "ada@example.org\tZq8!m\t5a7138216d\n"
    "bob@example.org\t<b&c>\t3c6226633e\n"
    "cy@example.org\tk3Y#p\t6b33592370\n"
    "dan@example.org\tx y z\t782079207a\n"
)


@pytest.mark.parametrize(
    "content, header, rows",
    [
        pytest.param(b"id,key\nada,Zq8!m\n", ["id", "key"], [["ada", "Zq8!m"]], id="comma"),
        pytest.param(b"id;key\r\nada;a,b;c\r\n", ["id", "key"], [["ada", "a,b", "c"]], id="semicolon, CR LF"),
        pytest.param(b'id\tkey\nada\t"x"\n', ["id", "key"], [["ada", "x"]], id="tab, quoted"),
        pytest.param(
            b'\xef\xbb\xbf"id","a ""key"""\n"ada, B","line\r\nbreak"\n\n',
            ["id", 'a "key"'],
            [["ada, B", "line\r\nbreak"]],
            id="BOM, quotes, a line break, a blank line",
        ),
        pytest.param(b"id,key\nada,\n,\n", ["id", "key"], [["ada", ""]], id="an empty cell, an empty row"),
    ],
)
def test_tables_read(content: bytes, header: list[str], rows: list[list[str]]) -> None:
    table = read_table(Path("t.csv"), content)
    assert table.header == header
    assert [[cell.text for cell in row.cells] for row in table.rows] == rows


@pytest.mark.parametrize(
    "content, message",
    [
        pytest.param("id,key\n".encode("utf-16"), "t.csv is UTF-16: save it as UTF-8 text", id="UTF-16"),
        pytest.param(b"id,key\nad\xe1,x\n", "t.csv:2: this is not UTF-8 text", id="Latin-1"),
        pytest.param(b'id,key\nada,"Zq8!m\n', "t.csv:2: a quoted field has no closing quote", id="unclosed"),
        pytest.param(b'id,key\nada,"Zq8"!m\n', "t.csv:2: a quoted field goes on after its closing quote", id="stray"),
        pytest.param(b"", "t.csv is empty: a header row that names the columns comes first", id="empty"),
    ],
)
def test_tables_refused(content: bytes, message: str) -> None:
    with pytest.raises(Refusal, match=message):
        read_table(Path("t.csv"), content)


def test_a_table_written_back_changes_only_its_cells() -> None:
    content = b'\xef\xbb\xbfa;"b";c\r\n1;"x ""y""";3\r\n4;5\r\n'
    table = read_table(Path("t.csv"), content)
    assert table.filled({(0, 0): "one", (0, 2): "a;b", (1, 2): "6"}) == (
        b'\xef\xbb\xbfa;"b";c\r\none;"x ""y""";"a;b"\r\n4;5;6\r\n'
    )
    assert table.filled({}) == content


@pytest.mark.parametrize(
    "content, options, students",
    [
        pytest.param(
            b"Email,Name,Key\r\nAda@Example.org,Ada,Zq8!m\r\nbob@example.org,Bob,\r\n",
            ("Email", "Key"),
            [("Ada@Example.org", "Zq8!m"), ("bob@example.org", None)],
            id="CSV with keys, an empty one random",
        ),
        pytest.param(
            "Username;ID number\n4193821;sean\n王小明;7\n".encode(),
            ("Username", None),
            [("4193821", None), ("王小明", None)],
            id="semicolons, names outside ASCII",
        ),
        pytest.param(
            b"Student,ID,SIS User ID,SIS Login ID,Section,zentu key (12345)\n    Points Possible,,,,,5.00\n"
            b'"Lovelace, Ada",101,s1,ada@example.org,"Crypto, 1",\n',
            ("SIS Login ID", None),
            [("ada@example.org", None)],
            id="a Canvas export, its Points Possible no student",
        ),
    ],
)
def test_class_lists_with_a_header(tmp_path: Path, content: bytes, options, students) -> None:
    path = tmp_path / "class.csv"
    path.write_bytes(content)
    entries = read_class_list(path, *options)
    assert [(entry.name, entry.key and entry.key.text) for entry in entries] == students


@pytest.mark.parametrize(
    "content, options, message",
    [
        pytest.param(
            b"Email,Name\nada@x.org,Ada\n",
            ("E-mail", None),
            '{path}:1: there is no column "E-mail" for --id-column: the columns are "Email", "Name"',
            id="a missing column",
        ),
        pytest.param(
            b"Email,Name\n,Ada\n", ("Email", None), '{path}:2: a name is empty, in the column "Email"', id="empty"
        ),
        pytest.param(
            b"Email,Name\nada@x.org,Ada\nADA@x.org,Ada\n",
            ("Email", None),
            "{path}:3: ADA@x.org stands twice",
            id="twice",
        ),
        pytest.param(
            b"Email,Key\nada@x.org,abc\n", ("Email", "Key"), "{path}:2: ada@x.org's key must be", id="bad key"
        ),
        pytest.param(b"Email\n../x\n", ("Email", None), '{path}:2: a name holds no "/"', id="a path"),
        pytest.param(b"ID\n#12\n", ("ID", None), '{path}:2: a name does not begin with "#"', id="a comment"),
        pytest.param(b"ada\n", (None, "Key"), "--key-column names a column of a class list with a header", id="no id"),
    ],
)
def test_class_lists_with_a_header_refused(tmp_path: Path, content: bytes, options, message: str) -> None:
    path = tmp_path / "class.csv"
    path.write_bytes(content)
    with pytest.raises(Refusal) as refusal:
        read_class_list(path, *options)
    assert message.format(path=path) in str(refusal.value)


@pytest.mark.parametrize(
    "cell, html, answer",
    [
        pytest.param("<p>Zq8!m</p>", False, "Zq8!m", id="tags"),
        pytest.param("<p>&lt;b&amp;c&gt;&nbsp;</p>", True, "<b&c> ", id="entities, nbsp"),
        pytest.param("<b&c>", False, "<b&c>", id="plain text with < and &"),
        pytest.param("&lt;b&gt;", False, "&lt;b&gt;", id="no tags: entities stay"),
        pytest.param("&lt;b&gt;", True, "<b>", id="Moodle's online text, no tags"),
        pytest.param("\r\n\r\n Zq8!m \r\n\r\n", False, " Zq8!m ", id="blank lines around, blanks kept"),
        pytest.param("<p><br></p><p>Zq8!m</p><p><br></p>", False, "Zq8!m", id="empty paragraphs"),
        pytest.param("<div>Zq8!m<br>again</div>", False, "Zq8!m\nagain", id="two lines"),
    ],
)
def test_answers_as_typed(cell: str, html: bool, answer: str) -> None:
    assert typed(cell, html) == answer


FORMS = (
    "\ufeffTimestamp,Email Address,Your key\r\n"
    "2026/12/11 10:00:00 AM GMT,ada@example.org,Zq8!m\r\n"
    "2026/12/11 10:01:00 AM GMT,bob@example.org,Zq8!m\r\n"
    '2026/12/11 10:02:00 AM GMT,bob@example.org,"<b&c>"\r\n'
    "2026/12/11 10:03:00 AM GMT,CY@example.org,k3Y#p \r\n"
    "2026/12/11 10:04:00 AM GMT,dan@example.org,\r\n"
    "2026/12/11 10:05:00 AM GMT,eve@example.org,hello\r\n"
)


def mark(tmp_path: Path, capsys, *options: str, handed_in: str = FORMS) -> tuple[int, str, str]:
    (tmp_path / "answers.tsv").write_text(ANSWERS)
    (tmp_path / "handed-in.csv").write_text(handed_in)
    arguments = ["mark", "--answers", str(tmp_path / "answers.tsv"), "--handed-in", str(tmp_path / "handed-in.csv")]
    status = cli.main([*arguments, "--marks", str(tmp_path / "marks.tsv"), *options])
    out, err = capsys.readouterr()
    return status, out, err


def test_a_forms_sheet_into_grades(tmp_path: Path, capsys: pytest.CaptureFixture[str]) -> None:
    options = ["--id-column", "Email Address", "--answer-column", "Your key", "--grades", str(tmp_path / "g.csv")]
    assert mark(tmp_path, capsys, *options) == (
        0,
        "1 correct, 0 wrong, 1 missing, 1 blanks, 1 copied, 1 unknown\nbob@example.org handed in the key of "
        "ada@example.org\n",
        "",
    )
    assert (tmp_path / "marks.tsv").read_text() == (
        "# name\tstatus\thanded in, as hex\tkey of\thanded in by\n"
        "ada@example.org\tcorrect\t5a7138216d\t\tbob@example.org\n"
        "bob@example.org\tcopied\t3c6226633e\tada@example.org\t\n"
        "cy@example.org\tblanks\t6b3359237020\t\t\n"
        "dan@example.org\tmissing\t\t\t\n"
        "eve@example.org\tunknown\t68656c6c6f\t\t\n"
    )
    assert (tmp_path / "g.csv").read_text() == (
        "Email Address,Grade,Feedback\n"
        "ada@example.org,1,Correct.\n"
        "bob@example.org,0,Not correct.\n"
        "cy@example.org,,Your answer had blanks at its ends: the setter will look at it.\n"
        "dan@example.org,0,No answer.\n"
    )


CANVAS = (
    "Student,ID,SIS User ID,SIS Login ID,Section,zentu key (12345),Current Score\n"
    "    Points Possible,,,,,5.00,(read only)\n"
    '"Lovelace, Ada",101,s1,ada@example.org,"Crypto, 1",,\n'
    '"Smith, Bob",102,s2,BOB@example.org,"Crypto, 1",3.00,\n'
    '"Young, Cy",103,s3,cy@example.org,"Crypto, 1",,\n'
    '"Nobody, Ned",104,s4,ned@example.org,"Crypto, 1",2.50,\n'
)


@pytest.mark.parametrize(
    "points, ada, bob",
    [
        pytest.param([], "5.00", "0", id="the points possible"),
        pytest.param(["--points", "2"], "2", "0", id="--points"),
    ],
)
def test_a_canvas_export_filled_in(
    tmp_path: Path, capsys: pytest.CaptureFixture[str], points: list[str], ada: str, bob: str
) -> None:
    (tmp_path / "canvas.csv").write_text(CANVAS)
    options = ["--id-column", "Email Address", "--answer-column", "Your key", "--grades", str(tmp_path / "g.csv")]
    options += ["--gradebook", str(tmp_path / "canvas.csv"), "--grade-column", "zentu key (12345)"]
    status, _, err = mark(tmp_path, capsys, *options, "--gradebook-id-column", "SIS Login ID", *points)
    assert (status, err) == (0, "")
    # Bob copied, Cy's blanks are left to the setter, and Ned is no student.
    assert (tmp_path / "g.csv").read_text() == (
        "Student,ID,SIS User ID,SIS Login ID,Section,zentu key (12345),Current Score\n"
        "    Points Possible,,,,,5.00,(read only)\n"
        f'"Lovelace, Ada",101,s1,ada@example.org,"Crypto, 1",{ada},\n'
        f'"Smith, Bob",102,s2,BOB@example.org,"Crypto, 1",{bob},\n'
        '"Young, Cy",103,s3,cy@example.org,"Crypto, 1",,\n'
        '"Nobody, Ned",104,s4,ned@example.org,"Crypto, 1",2.50,\n'
    )


@pytest.mark.parametrize(
    "options, message",
    [
        pytest.param(["--id-column", "Email Address"], "--id-column and --answer-column go together", id="half"),
        pytest.param(
            ["--id-column", "Email", "--answer-column", "Your key"],
            'there is no column "Email" for --id-column: the columns are "Timestamp", "Email Address", "Your key"',
            id="a missing column",
        ),
        pytest.param(["--grades", "answers.tsv"], "answers.tsv exists already: name a new file for the grades", id="g"),
        pytest.param(["--points", "ten"], "--points is what a correct answer scores, a number such as 1", id="points"),
        pytest.param(["--grade-column", "x"], "--grade-column and --gradebook-id-column name columns", id="no book"),
    ],
)
def test_markings_refused(tmp_path: Path, capsys: pytest.CaptureFixture[str], options, message: str) -> None:
    monkey_options = [str(tmp_path / option) if option == "answers.tsv" else option for option in options]
    status, out, err = mark(tmp_path, capsys, *monkey_options)
    assert (status, out) == (1, "")
    assert message in err and err.count("\n") == 1
    assert not (tmp_path / "marks.tsv").exists()


def test_a_late_class_with_nobody_new_is_refused(
    tmp_path: Path, monkeypatch: pytest.MonkeyPatch, capsys: pytest.CaptureFixture[str]
) -> None:
    monkeypatch.chdir(tmp_path)
    (tmp_path / "answers.tsv").write_text(ANSWERS)
    (tmp_path / "class.csv").write_text("Email\nADA@example.org\nbob@example.org\n")
    status = cli.main(["class", "class.csv", "--id-column", "Email", "--answers", "answers.tsv"])
    assert (status, capsys.readouterr().out) == (1, "")
    assert sorted(path.name for path in tmp_path.iterdir()) == ["answers.tsv", "class.csv"]


@pytest.mark.parametrize(
    "rows, answers",
    [
        pytest.param(["hello", "Zq8!m"], [b"hello", b"Zq8!m"], id="two rows: both kept, the last counts"),
        pytest.param(["Zq8!m", ""], [b"Zq8!m"], id="an empty answer gives none"),
        pytest.param(["5A7138216D"], [b"Zq8!m"], id="hex"),
        pytest.param(["<p>Zq8!m</p>"], [b"Zq8!m"], id="HTML in a form's cell"),
    ],
)
def test_hand_ins_of_several_rows(tmp_path: Path, rows: list[str], answers: list[bytes]) -> None:
    path = tmp_path / "forms.csv"
    path.write_text("Email Address,Your key\n" + "".join(f"Ada@example.org,{row}\n" for row in rows))
    hand_ins = read_hand_ins(path, "Email Address", "Your key")
    assert [(name, hand_in.name, hand_in.answers) for name, hand_in in hand_ins.by_name.items()] == [
        ("ada@example.org", "Ada@example.org", answers)
    ]
