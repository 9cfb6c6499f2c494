"""The marking's statuses, its file and its summary."""

from pathlib import Path

import pytest

from zentu_lab.hand_ins import HandIn, read_hand_ins
from zentu_lab.mark import Status, Student, mark, marks_file, read_answers, summary
from zentu_lab.refusal import Refusal

KEYS = {"ada": b"Zq8!m", "bob": b"Zq8! ", "cy": b"$<1:>", "dan": b"k3Y#p", "fay": b"k3Y#p"}


def marked(keys: dict[str, bytes], answers: dict[str, list[bytes]]):
    students = {name: Student(name, key) for name, key in keys.items()}
    return mark(students, {name: HandIn(name, given) for name, given in answers.items()})


@pytest.mark.parametrize(
    "name, handed_in, status, key_of",
    [
        pytest.param("ada", b"Zq8!m", Status.CORRECT, [], id="the key"),
        pytest.param("ada", b"Zq8!M", Status.WRONG, [], id="another case"),
        pytest.param("ada", b"", Status.WRONG, [], id="a name alone"),
        pytest.param("ada", b" Zq8!m ", Status.BLANKS, [], id="blanks added"),
        pytest.param("bob", b"Zq8!", Status.BLANKS, [], id="a blank trimmed"),
        pytest.param("bob", b"Zq8!\t", Status.WRONG, [], id="a tab is no blank"),
        pytest.param("ada", b"$<1:>", Status.COPIED, ["cy"], id="another's key"),
        pytest.param("ada", b"k3Y#p", Status.COPIED, ["dan", "fay"], id="a key that two share"),
        pytest.param("dan", b"k3Y#p", Status.CORRECT, [], id="a key given to two"),
        pytest.param("gus", b"$<1:>", Status.UNKNOWN, ["cy"], id="an unknown name with a key"),
        pytest.param("gus", b"hello", Status.UNKNOWN, [], id="an unknown name"),
    ],
)
def test_status(name: str, handed_in: bytes, status: Status, key_of: list[str]) -> None:
    found = marked(KEYS, {name: [handed_in]})
    assert (found[name].status, found[name].key_of) == (status, key_of)
    assert found[name].handed_in == handed_in
    assert all(other.status is Status.MISSING for other in found.values() if other.name != name)


def test_who_else_handed_in_a_key() -> None:
    marks = marked(KEYS, {"ada": [b"Zq8!m"], "cy": [b"Zq8!m"], "gus": [b"Zq8!m"]})
    assert [(m.name, m.handed_in_by) for m in marks.values()] == [
        ("ada", ["cy", "gus"]),
        ("bob", []),
        ("cy", []),
        ("dan", []),
        ("fay", []),
        ("gus", []),
    ]


def test_marks_file_and_summary() -> None:
    marks = marked({"ada": b"Zq8!m", "bob": b"Zq8! "}, {"bob": [b"Zq8!m"], "eve": [b"x y"]})
    assert marks_file(marks) == (
        b"# name\tstatus\thanded in, as hex\tkey of\thanded in by\n"
        b"ada\tmissing\t\t\tbob\n"
        b"bob\tcopied\t5a7138216d\tada\t\n"
        b"eve\tunknown\t782079\t\t\n"
    )
    assert summary(marks) == (
        "0 correct, 0 wrong, 1 missing, 0 blanks, 1 copied, 1 unknown\nbob handed in the key of ada\n"
    )


@pytest.mark.parametrize(
    "handed_in, read",
    [
        pytest.param(b"5A7138216D", b"Zq8!m", id="ten hex digits name a key"),
        pytest.param(b"5a7138216d", b"Zq8!m", id="lower case"),
        pytest.param(b"5a7138216", b"5a7138216", id="nine digits are text"),
        pytest.param(b"5a7138216g", b"5a7138216g", id="not hex"),
        pytest.param(b"5a71382100", b"Zq8!\x00", id="hex that names no key, still as hex"),
    ],
)
def test_hand_ins_in_hex(tmp_path: Path, handed_in: bytes, read: bytes) -> None:
    path = tmp_path / "handed-in.tsv"
    path.write_bytes(b"ada\t" + handed_in + b"\n")
    assert read_hand_ins(path, None, None).by_name == {"ada": HandIn("ada", [read])}


@pytest.mark.parametrize(
    "sheets, message",
    [
        pytest.param(
            [b"ada\tZq8!m\n"],
            "{0}:1: an answer sheet's line is a name, the key and the key's hex, as the release writes them",
            id="no hex",
        ),
        pytest.param([b"ada\n"], "{0}:1: an answer sheet's line is a name, the key and", id="no key"),
        pytest.param(
            [b"ada\tZq8!m\t5a7138216d\n", b"# late\nada\tZq8!m\t5a7138216d\n"],
            "{1}:2: ada stands in two answer sheets",
            id="a name in two sheets",
        ),
    ],
)
def test_answer_sheets_refused(tmp_path: Path, sheets: list[bytes], message: str) -> None:
    paths = []
    for number, content in enumerate(sheets):
        paths.append(tmp_path / f"answers{number}.tsv")
        paths[-1].write_bytes(content)
    with pytest.raises(Refusal, match=message.format(*paths)):
        read_answers(paths)
