"""Moodle's assignment, end to end: the class list from its grading
worksheet, the feedback ZIP, and the worksheet with online text marked into
marks and the worksheet for upload, against golden files."""

import zipfile
from pathlib import Path

import pytest

from zentu_lab import cli
from zentu_lab.class_file import read_class_list
from zentu_lab.keys import Key
from zentu_lab.release import Student, feedback_zip, moodle_folder
from zentu_lab.refusal import Refusal

MOODLE = Path(__file__).resolve().parents[1] / "moodle"


def test_the_worksheet_is_the_class_list() -> None:
    entries = read_class_list(MOODLE / "worksheet.csv", None, None)
    assert [(entry.name, entry.full_name, entry.key) for entry in entries] == [
        ("Participant 4193821", "Ada Lovelace", None),
        ("Participant 4193822", "Seán Ó Briain", None),
        ("Participant 4193823", "王小明", None),
        ("Participant 4193824", "Bob_the/Builder", None),
        ("Participant 4193825", "Eve Smith", None),
        ("Participant 4193826", "Cy Young", None),
    ]


def test_the_feedback_zip_holds_a_folder_for_each_student(tmp_path: Path) -> None:
    students = []
    for number, (name, full_name) in enumerate(
        [("Participant 4193822", "Seán Ó Briain"), ("Participant 4193824", "Bob_the/Builder")], start=1
    ):
        students.append(Student(number, 2, name, Key(b"Zq8!m"), True, full_name))
        folder = tmp_path / "handout" / name
        folder.mkdir(parents=True)
        (folder / "zentu-1.0.0-x86_64-linux.tar.gz").write_bytes(name.encode())
        (folder / "SHA256SUMS").write_bytes(b"sums\n")
    made = feedback_zip(tmp_path, students, 1796817600)
    assert made == feedback_zip(tmp_path, students, 1796817600)
    (tmp_path / "feedback.zip").write_bytes(made)
    with zipfile.ZipFile(tmp_path / "feedback.zip") as archive:
        assert [(entry.filename, entry.date_time) for entry in archive.infolist()] == [
            ("Seán Ó Briain_4193822_assignsubmission_file_/SHA256SUMS", (2026, 12, 9, 12, 0, 0)),
            ("Seán Ó Briain_4193822_assignsubmission_file_/zentu-1.0.0-x86_64-linux.tar.gz", (2026, 12, 9, 12, 0, 0)),
            ("Bob the Builder_4193824_assignsubmission_file_/SHA256SUMS", (2026, 12, 9, 12, 0, 0)),
            ("Bob the Builder_4193824_assignsubmission_file_/zentu-1.0.0-x86_64-linux.tar.gz", (2026, 12, 9, 12, 0, 0)),
        ]
        assert archive.read("Bob the Builder_4193824_assignsubmission_file_/SHA256SUMS") == b"sums\n"


def test_an_identifier_without_a_number_gives_no_folder() -> None:
    with pytest.raises(Refusal, match='ada is not Moodle\'s "Participant" and a number'):
        moodle_folder(Student(1, 1, "ada", None, True, "Ada"))


def test_the_round_trip(tmp_path: Path, capsys: pytest.CaptureFixture[str]) -> None:
    arguments = ["mark", "--answers", str(MOODLE / "answers.tsv"), "--handed-in", str(MOODLE / "handed-in.csv")]
    marks, grades = tmp_path / "marks.tsv", tmp_path / "grades.csv"
    assert cli.main([*arguments, "--marks", str(marks), "--grades", str(grades)]) == 0
    assert capsys.readouterr() == (
        "2 correct, 1 wrong, 1 missing, 1 blanks, 1 copied, 0 unknown\n"
        "Participant 4193824 handed in the key of Participant 4193821\n",
        "",
    )
    assert marks.read_bytes() == (MOODLE / "marks.tsv").read_bytes()
    assert grades.read_bytes() == (MOODLE / "grades.csv").read_bytes()
    assert sorted(path.name for path in tmp_path.iterdir()) == ["grades.csv", "marks.tsv"]
