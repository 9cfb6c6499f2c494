"""zentu-lab's command line: the subcommands release, class and mark."""

import argparse
import os
import signal
import sys
from pathlib import Path

from . import files
from .class_file import compared, read_bytes, read_class_list
from .grades import Gradebook, grades_csv, points_option, worksheet_filled
from .hand_ins import read_hand_ins
from .jobs import adopt_orphans
from .keys import Key, key_option
from .mark import mark, marks_file, read_answers, summary
from .table import read_table
from .presets import check_tools, chosen_presets
from .refusal import Refusal
from .release import Release, StepFailed, Student, failed, moodle_folder

SOURCE = Path(__file__).resolve().parent.parent

DESCRIPTION = """\
The setter's tools for zentu: a release with a key of your own, a class's
handouts with a key for each student, and the marking of what the students
hand back."""

RELEASE = """\
Builds every preset's package with one key, runs the whole test suite on each
build before packaging it, and puts the packages and a SHA256SUMS in OUT, a
new folder. Without a key it uses the built-in one."""

CLASS = """\
Builds each student's packages with the student's own key, and puts them in
OUT/handout/NAME/, each with a SHA256SUMS, and the keys in OUT/answers.tsv.

CLASS_LIST is one of:
  - lines without a header: a name, which gets a random key, or a name, a
    tab and a key; blank lines and lines that begin with # are skipped;
  - a CSV or TSV with a header row, whose column --id-column names each
    student, and whose column --key-column, where given, holds a key (an
    empty cell: a random one);
  - Moodle's grading worksheet, known by its header: its "Identifier" names
    each student, and OUT also gets moodle-feedback.zip, for the
    assignment's "Upload multiple feedback files in a zip".
A name is an e-mail address (compared without regard to case), Moodle's
"Participant 1234567", a user name or an ID number; not one that holds "/"
or a control character, or begins with ".", "-" or "#". An answers.tsv
given back as CLASS_LIST makes every handout again, byte for byte; given as
--answers, it keeps its students' keys, and only the students it does not
hold get handouts."""

MARK = """\
Marks what a class handed in against the answer sheets that its releases
wrote, and writes MARKS, a new file: a line for each student, with the
status correct, blanks, copied, wrong, missing or unknown, and who handed
in whose key.

HANDED_IN is one of:
  - lines without a header: a name, a tab, and the key's five characters or
    its ten hex digits;
  - Moodle's grading worksheet, known by its header, whose "Online text" is
    each student's answer;
  - a CSV or TSV with a header row: --id-column names the students and
    --answer-column their answers, such as a Google Forms responses sheet.
An answer is read as typed: HTML (Moodle's "Online text", and any cell with
tags) as its text, and the blank lines around it dropped. A row whose answer
is empty gives none, and the last of a student's rows counts.

--grades writes GRADES, a new file for the course's gradebook: the worksheet
with "Grade" and "Feedback comments" filled in; the export that --gradebook
names, with the column --grade-column filled in; or else a CSV of the
identifier, "Grade" and "Feedback". A correct answer gets --points (by
default the worksheet's "Maximum Grade", or the export's "Points Possible",
or 1), and wrong, copied and missing answers 0; blanks are left to you. The
feedback tells a student only that: who copied from whom stays in MARKS."""

EPILOG = """\
example:
  %(prog)s class class.txt --presets static --out class-2026
  %(prog)s mark --answers class-2026/answers.tsv --handed-in handed-in.tsv --marks marks.tsv"""


def cores() -> int:
    return len(os.sched_getaffinity(0))


def add_build_options(parser: argparse.ArgumentParser) -> None:
    parser.add_argument(
        "--presets",
        metavar="NAME,NAME...",
        help="only these presets' packages (default: all of them)",
    )
    parser.add_argument(
        "--jobs",
        metavar="N",
        help="run at most N steps at once, each build and test run with jobs of its own "
        f"(default: the cores this process may use, here {cores()})",
    )
    parser.add_argument(
        "--out",
        metavar="DIR",
        type=Path,
        default=Path("release"),
        help="the new folder to put it all in (default: release)",
    )


def parser() -> argparse.ArgumentParser:
    top = argparse.ArgumentParser(
        prog="zentu-lab",
        description=DESCRIPTION,
        epilog=EPILOG,
        formatter_class=argparse.RawDescriptionHelpFormatter,
        allow_abbrev=False,
    )
    commands = top.add_subparsers(dest="command", required=True, metavar="{release,class,mark}")
    kinds = {"formatter_class": argparse.RawDescriptionHelpFormatter, "allow_abbrev": False}

    release = commands.add_parser("release", help="a release with one key", description=RELEASE, **kinds)
    key = release.add_mutually_exclusive_group()
    key.add_argument("--key", metavar="TEXT", help="the key: five printable ASCII characters")
    key.add_argument("--key-hex", metavar="HEX", help="the key as ten hex digits, for one that ends in a blank")
    add_build_options(release)

    class_ = commands.add_parser("class", help="a class's handouts and answer sheet", description=CLASS, **kinds)
    class_.add_argument("class_list", metavar="CLASS_LIST", type=Path, help="the file of students")
    class_.add_argument("--id-column", metavar="COLUMN", help="the column that names each student")
    class_.add_argument("--key-column", metavar="COLUMN", help="the column of given keys; an empty cell: a random one")
    class_.add_argument(
        "--answers",
        metavar="FILE",
        type=Path,
        action="append",
        default=[],
        help="an answers.tsv of the same class, made before: its students keep their keys and get no handout",
    )
    add_build_options(class_)

    marking = commands.add_parser("mark", help="mark what a class handed in", description=MARK, **kinds)
    marking.add_argument(
        "--answers",
        metavar="FILE",
        type=Path,
        action="append",
        required=True,
        help="an answers.tsv that a class wrote; give one for each class, such as a late student's",
    )
    marking.add_argument("--handed-in", metavar="FILE", type=Path, required=True, help="what the students handed in")
    marking.add_argument("--id-column", metavar="COLUMN", help="the column of the hand-ins that names each student")
    marking.add_argument("--answer-column", metavar="COLUMN", help="the column of the hand-ins that holds the answers")
    marking.add_argument("--marks", metavar="FILE", type=Path, required=True, help="the new file for the marks")
    marking.add_argument("--grades", metavar="FILE", type=Path, help="the new file of grades for the gradebook")
    marking.add_argument("--points", metavar="N", help="what a correct answer scores")
    marking.add_argument("--gradebook", metavar="EXPORT", type=Path, help="the gradebook's export, to fill in")
    marking.add_argument("--grade-column", metavar="COLUMN", help="the export's column that takes the grades")
    marking.add_argument(
        "--gradebook-id-column",
        metavar="COLUMN",
        help="the export's column that names the students (default: the hand-ins' identifier column)",
    )
    return top


def absolute(path: Path) -> Path:
    return Path(os.path.abspath(path))


def jobs_option(text: str | None) -> int:
    if text is None:
        return cores()
    if not (text.isascii() and text.isdigit()) or int(text) < 1:
        raise Refusal(f'--jobs is how many jobs run at once, a whole number of at least 1, not "{text}"')
    return int(text)


def out_option(path: Path) -> Path:
    out = absolute(path)
    if out.exists() or out.is_symlink():
        raise Refusal(f"{out} exists already: the release goes into a new folder, and that one is left as it is")
    return out


def run_release(arguments: argparse.Namespace, students: list[Student]) -> int:
    out = out_option(arguments.out)
    presets = chosen_presets(SOURCE, arguments.presets)
    jobs = jobs_option(arguments.jobs)
    check_tools(presets)
    # SIGTERM and SIGHUP stop a release as Ctrl-C does.
    signal.signal(signal.SIGTERM, interrupted)
    signal.signal(signal.SIGHUP, interrupted)
    adopt_orphans()
    release = Release(SOURCE, out, presets, jobs, students)
    try:
        release.make()
    except StepFailed as failure:
        failed(failure, out)
        return 1
    except KeyboardInterrupt:
        print(f"zentu-lab: interrupted: every job is stopped, and nothing was put in {out}", file=sys.stderr)
        return 130
    return 0


def release_command(arguments: argparse.Namespace) -> int:
    key = key_option(
        None if arguments.key is None else os.fsencode(arguments.key),
        None if arguments.key_hex is None else os.fsencode(arguments.key_hex),
    )
    return run_release(arguments, [Student(1, 1, None, key, False)])


def class_command(arguments: argparse.Namespace) -> int:
    class_list = absolute(arguments.class_list)
    entries = read_class_list(class_list, arguments.id_column, arguments.key_column)
    if not entries:
        raise Refusal(f"{class_list} names no student")
    # A late enrolment: the students handed out before keep their keys.
    earlier = read_answers([absolute(sheet) for sheet in arguments.answers])
    entries = [entry for entry in entries if compared(entry.name) not in earlier]
    if not entries:
        raise Refusal(f"every student of {class_list} stands in the answer sheets already: nothing to make")
    students = [
        Student(number, len(entries), entry.name, entry.key or Key.random(), entry.key is None, entry.full_name)
        for number, entry in enumerate(entries, start=1)
    ]
    for student in students:
        if student.full_name is not None:
            moodle_folder(student)  # refuses a name that gives no folder
    return run_release(arguments, students)


def new_file(path: Path, what: str) -> Path:
    path = absolute(path)
    if path.exists() or path.is_symlink():
        raise Refusal(f"{path} exists already: name a new file for the {what}, and that one is left as it is")
    return path


def mark_command(arguments: argparse.Namespace) -> int:
    marks_path = new_file(arguments.marks, "marks")
    grades_path = None if arguments.grades is None else new_file(arguments.grades, "grades")
    if grades_path == marks_path:
        raise Refusal("--marks and --grades name one file: name two")
    points = points_option(arguments.points)
    if arguments.gradebook is not None and (arguments.grade_column is None or grades_path is None):
        raise Refusal("--gradebook goes with --grade-column, the column to fill in, and --grades, the new file")
    if arguments.gradebook is None and (arguments.grade_column or arguments.gradebook_id_column):
        raise Refusal("--grade-column and --gradebook-id-column name columns of --gradebook EXPORT: give it")
    students = read_answers([absolute(sheet) for sheet in arguments.answers])
    hand_ins = read_hand_ins(absolute(arguments.handed_in), arguments.id_column, arguments.answer_column)
    marks = mark(students, hand_ins.by_name)

    outputs = {marks_path: (marks_file(marks), "marks")}
    if grades_path is not None and arguments.gradebook is not None:
        export_path = absolute(arguments.gradebook)
        export = read_table(export_path, read_bytes(export_path))
        id_column = export.column(arguments.gradebook_id_column or hand_ins.id_column, "--gradebook-id-column")
        gradebook = Gradebook(export, id_column, export.column(arguments.grade_column, "--grade-column"))
        outputs[grades_path] = (gradebook.filled(marks, points), "grades")
    elif grades_path is not None and hand_ins.table is not None and hand_ins.worksheet:
        outputs[grades_path] = (worksheet_filled(hand_ins.table, marks, points), "grades")
    elif grades_path is not None:
        outputs[grades_path] = (grades_csv(hand_ins.id_column, marks, points), "grades")

    written: list[Path] = []
    try:
        for path, (content, what) in outputs.items():
            write_new(path, content, what)
            written.append(path)
        sys.stdout.write(summary(marks))
        sys.stdout.flush()
    except BaseException:
        # Whole or not at all: marks without their grades or their summary
        # are not left to be refused next time.
        for path in written:
            path.unlink()
        raise
    return 0


def write_new(path: Path, content: bytes, what: str) -> None:
    try:
        files.write_new(path, content)
    except FileExistsError:
        raise Refusal(f"{path} has come to exist meanwhile: name a new file for the {what}") from None
    except OSError as error:
        raise Refusal(f"Cannot write {path}: {error.strerror}") from None


COMMANDS = {"release": release_command, "class": class_command, "mark": mark_command}


def interrupted(number: int, frame: object) -> None:
    raise KeyboardInterrupt


def main(argv: list[str] | None = None) -> int:
    arguments = parser().parse_args(argv)
    if sys.stdout is None:
        print("zentu-lab: standard output is closed", file=sys.stderr)
        return 1
    try:
        status = COMMANDS[arguments.command](arguments)
        sys.stdout.flush()
    except Refusal as refusal:
        print(f"zentu-lab: {refusal}", file=sys.stderr)
        return 1
    except KeyboardInterrupt:
        print("zentu-lab: interrupted", file=sys.stderr)
        return 130
    except OSError as error:
        # Standard output among them: output that could not be written is a
        # failure, said once, and not again when Python flushes it at exit.
        os.dup2(os.open(os.devnull, os.O_WRONLY), sys.stdout.fileno())
        print(f"zentu-lab: {error.filename or 'standard output'}: {error.strerror}", file=sys.stderr)
        return 1
    except Exception as fault:  # a fault of zentu-lab's own: one line, never a traceback
        print(f"zentu-lab: internal error, please report it: {type(fault).__name__}: {fault}", file=sys.stderr)
        return 1
    return status
