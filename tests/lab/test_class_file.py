"""The reader of class lists, answer sheets and hand-ins."""

from pathlib import Path

import pytest

from zentu_lab.class_file import read_class, read_lines
from zentu_lab.refusal import Refusal


@pytest.mark.parametrize(
    "content, students",
    [
        pytest.param(b"ada\nbob\tZq8!m\n", [("ada", None, False), ("bob", "Zq8!m", False)], id="random and given"),
        pytest.param(
            b"\xef\xbb\xbfada\tZq8!m\r\n# a comment\r\n\r\nbob\r\n",
            [("ada", "Zq8!m", False), ("bob", None, False)],
            id="byte-order mark, CR LF, comment, blank line",
        ),
        pytest.param(
            b"# name\tkey\tkey in hex\nada\t$<1:>\t243C313A3E\nbob\tZq8! \t5a71382120\n",
            [("ada", "$<1:>", True), ("bob", "Zq8! ", True)],
            id="answers.tsv, upper-case hex, a key ending in a blank",
        ),
        pytest.param(b'x.y_z-1\t;"\\#x\n', [("x.y_z-1", ';"\\#x', False)], id="name characters, key metacharacters"),
        pytest.param(b"_a\t\n", [("_a", None, False)], id="a tab and nothing after it"),
        pytest.param(
            "Participant 4193821\t,?LjD\nSeán Ó Briain, 王小明\t\nada@example.org\n".encode(),
            [
                ("Participant 4193821", ",?LjD", False),
                ("Seán Ó Briain, 王小明", None, False),
                ("ada@example.org", None, False),
            ],
            id="blanks and commas before a tab, and addresses",
        ),
        pytest.param(b"", [], id="empty"),
    ],
)
def test_class_lists_read(tmp_path: Path, content: bytes, students: list[tuple[str, str | None, bool]]) -> None:
    path = tmp_path / "class.txt"
    path.write_bytes(content)
    read = [(entry.name, entry.key and entry.key.text, entry.checked) for entry in read_class(path)]
    assert read == students


@pytest.mark.parametrize(
    "content, message",
    [
        pytest.param("ada".encode("utf-16"), "{path} is UTF-16: save it as UTF-8 text", id="UTF-16"),
        pytest.param("ada".encode("utf-16-be"), "{path} holds zero bytes, as UTF-16 does", id="UTF-16 without a BOM"),
        pytest.param(
            b"bob\nada Zq8!m\n",
            "{path}:2: a name holds a blank or a comma only where a tab follows it, which separates it from what "
            'follows: "ada Zq8!m"',
            id="a blank where the tab belongs",
        ),
        pytest.param(b"ada,Zq8!m\n", "{path}:1: a name holds a blank or a comma only where a tab", id="a comma"),
        pytest.param(
            b"-bob\tx\xff\\\n",
            '{path}:1: a name does not begin with "." or "-": "-bob\\x09x\\xff\\\\"',
            id="a leading hyphen, shown with escapes",
        ),
        pytest.param(b".ada\n", '{path}:1: a name does not begin with "." or "-": ".ada"', id="a leading dot"),
        pytest.param(b"ad\xe1\tx\n", '{path}:1: a name is UTF-8 text: "ad\\xe1\\x09x"', id="not UTF-8"),
        pytest.param(b"\tZq8!m\n", '{path}:1: a name is empty: "\\x09Zq8!m"', id="no name"),
        pytest.param(b"a/b\n", '{path}:1: a name holds no "/": "a/b"', id="a slash"),
        pytest.param(b"a\x1bb\n", '{path}:1: a name holds no control character: "a\\x1bb"', id="a control character"),
        pytest.param(b"Ada@X.org\nada@x.ORG\n", "{path}:2: ada@x.ORG stands twice", id="an address twice"),
        pytest.param(b"ada\n\nada\tZq8!m\n", "{path}:3: ada stands twice", id="a name twice"),
        pytest.param(
            b"ada\tZq8!\n", '{path}:1: ada\'s key must be five printable ASCII characters, not "Zq8!"', id="short key"
        ),
        pytest.param(b"ada\tZq8!\x7f\n", 'not "Zq8!\\x7f"', id="unprintable key"),
        pytest.param(
            b"ada\tZq8!m\t5a7138216d\tx\n", "{path}:1: a line holds a name, or a name, a tab and a key", id="4 fields"
        ),
        pytest.param(
            b"ada\tZq8!m\t5a7138216e\n",
            '{path}:1: ada\'s key is "Zq8!m", but the hex beside it says "5a7138216e"',
            id="hex that disagrees",
        ),
    ],
)
def test_class_lists_refused(tmp_path: Path, content: bytes, message: str) -> None:
    path = tmp_path / "class.txt"
    path.write_bytes(content)
    with pytest.raises(Refusal) as refusal:
        read_class(path)
    assert message.format(path=path) in str(refusal.value)
    assert "\n" not in str(refusal.value)


@pytest.mark.parametrize(
    "make, message",
    [
        pytest.param(lambda path: None, "There is no file {path}", id="missing"),
        pytest.param(lambda path: path.mkdir(), "{path} is a folder", id="a folder"),
    ],
)
def test_files_that_cannot_be_read(tmp_path: Path, make, message: str) -> None:
    path = tmp_path / "class.txt"
    make(path)
    with pytest.raises(Refusal, match=message.format(path=path)):
        read_lines(path)


def test_hand_ins_keep_every_byte_after_the_tab(tmp_path: Path) -> None:
    path = tmp_path / "handed-in.tsv"
    path.write_bytes(b"ada\t Zq8!m\tx \r\nbob\n")
    assert [(line.name, line.number, line.rest) for line in read_lines(path)] == [
        ("ada", 1, b" Zq8!m\tx "),
        ("bob", 2, b""),
    ]
