"""zentu-lab's command line: the subcommands release, class and mark."""

import argparse
import os
import signal
import sys
from pathlib import Path

from . import files
from .class_file import read_class
from .jobs import adopt_orphans
from .keys import Key, key_option
from .mark import mark, marks_file, read_answers, read_handed_in, summary
from .presets import check_tools, chosen_presets
from .refusal import Refusal
from .release import Release, StepFailed, Student, failed

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
CLASS_LIST has a student a line: a name, which gets a random key, or a name,
a tab and a key. Names are letters, digits, ".", "_" and "-", not first "."
or "-"; blank lines and lines that begin with # are skipped. An answers.tsv
given back as CLASS_LIST makes every handout again, byte for byte."""

MARK = """\
Marks what a class handed in against the answer sheets that its releases
wrote, and writes MARKS, a new file: a line for each student, with the
status correct, blanks, copied, wrong, missing or unknown. HANDED_IN has a
student a line: a name, a tab, and the key's five characters or its ten hex
digits."""

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
        help=f"run N jobs at once (default: the cores this process may use, here {cores()})",
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
    marking.add_argument("--marks", metavar="FILE", type=Path, required=True, help="the new file for the marks")
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
    entries = read_class(absolute(arguments.class_list))
    if not entries:
        raise Refusal(f"{absolute(arguments.class_list)} names no student")
    students = [
        Student(number, len(entries), entry.name, entry.key or Key.random(), entry.key is None)
        for number, entry in enumerate(entries, start=1)
    ]
    return run_release(arguments, students)


def mark_command(arguments: argparse.Namespace) -> int:
    marks_path = absolute(arguments.marks)
    if marks_path.exists() or marks_path.is_symlink():
        raise Refusal(f"{marks_path} exists already: name a new file for the marks, and that one is left as it is")
    keys = read_answers([absolute(sheet) for sheet in arguments.answers])
    marks = mark(keys, read_handed_in(absolute(arguments.handed_in)))
    try:
        files.write_new(marks_path, marks_file(marks))
    except FileExistsError:
        raise Refusal(f"{marks_path} has come to exist meanwhile: name a new file for the marks") from None
    except OSError as error:
        raise Refusal(f"Cannot write {marks_path}: {error.strerror}") from None
    try:
        sys.stdout.write(summary(marks))
        sys.stdout.flush()
    except OSError:
        # Marks whose summary was lost are not left to be refused next time.
        marks_path.unlink()
        raise
    return 0


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
