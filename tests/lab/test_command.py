"""What a setter sees of zentu-lab: the parser's refusals, the plain
refusals, and that a refused command writes nothing. main() runs in this
process, and the command itself where only a process shows it."""

import subprocess
from pathlib import Path

import pytest

from zentu_lab import cli

COMMAND = Path(__file__).resolve().parents[2] / "zentu-lab"


def main(arguments: list[str], capsys: pytest.CaptureFixture[str]) -> tuple[int, str, str]:
    """main()'s status, standard output and standard error; the parser's
    refusal exits through SystemExit."""
    try:
        status = cli.main(arguments)
    except SystemExit as exit:
        status = exit.code if isinstance(exit.code, int) else 1
    out, err = capsys.readouterr()
    return status, out, err


@pytest.mark.parametrize(
    "arguments, error",
    [
        pytest.param(["relase"], "invalid choice: 'relase'", id="a mistyped subcommand"),
        pytest.param(["release", "--preset", "static"], "unrecognized arguments: --preset", id="a mistyped option"),
        pytest.param(["release", "--pre", "static"], "unrecognized arguments: --pre", id="no abbreviation"),
        pytest.param(["release", "--key", "Zq8!m", "--key-hex", "5a7138216d"], "not allowed with", id="two keys"),
        pytest.param(["class"], "the following arguments are required: CLASS_LIST", id="no class list"),
        pytest.param(["mark", "--answers", "a", "--handed-in", "h"], "required: --marks", id="no marks"),
        pytest.param([], "the following arguments are required", id="no subcommand"),
    ],
)
def test_the_parser_refuses(
    tmp_path: Path,
    monkeypatch: pytest.MonkeyPatch,
    capsys: pytest.CaptureFixture[str],
    arguments: list[str],
    error: str,
) -> None:
    monkeypatch.chdir(tmp_path)
    status, out, err = main(arguments, capsys)
    assert (status, out) == (2, "")
    assert err.splitlines()[0].startswith("usage: zentu-lab")
    assert error in err.splitlines()[-1]
    assert list(tmp_path.iterdir()) == []


@pytest.mark.parametrize(
    "arguments, message",
    [
        pytest.param(
            ["release", "--jobs", "0"],
            'zentu-lab: --jobs is how many jobs run at once, a whole number of at least 1, not "0"',
            id="no jobs",
        ),
        pytest.param(["release", "--jobs", "two"], 'a whole number of at least 1, not "two"', id="jobs in words"),
        pytest.param(["release", "--jobs", "²"], 'a whole number of at least 1, not "²"', id="jobs, a superscript"),
        pytest.param(
            ["release", "--key", "abcd"],
            "zentu-lab: --key must be exactly five printable ASCII characters (bytes 0x20 to 0x7e), "
            "not the bytes 61626364",
            id="a short key",
        ),
        pytest.param(["release", "--key", "abcdé"], "not the bytes 61626364c3a9", id="a key not ASCII"),
        pytest.param(
            ["release", "--key-hex", "5a713821"],
            "zentu-lab: --key-hex must be ten hex digits that name five printable ASCII characters "
            '(bytes 0x20 to 0x7e), not "5a713821"',
            id="short hex",
        ),
        pytest.param(["release", "--key-hex", "5a7138210a"], 'not "5a7138210a"', id="hex of a newline"),
        pytest.param(["release", "--key-hex", "5a 7138216d"], 'not "5a 7138216d"', id="hex with a blank"),
        pytest.param(
            ["release", "--presets", "static,sttic"],
            'zentu-lab: --presets: no package is made by "sttic": the presets are default, static, aarch64, armhf, '
            "i686, riscv64, ppc64le, s390x",
            id="a mistyped preset",
        ),
        pytest.param(["release", "--presets", ""], 'no package is made by ""', id="no preset"),
        pytest.param(["class", "typo.txt"], ":1: a name holds a blank or a comma only where a tab follows", id="typo"),
        pytest.param(["class", "empty.txt"], "empty.txt names no student", id="an empty class"),
        pytest.param(["class", "utf16.txt"], "utf16.txt is UTF-16: save it as UTF-8 text", id="UTF-16"),
        pytest.param(["class", "none.txt"], "zentu-lab: There is no file ", id="no class list"),
        pytest.param(
            ["release", "--out", "exists"],
            "exists exists already: the release goes into a new folder, and that one is left as it is",
            id="OUT exists",
        ),
        pytest.param(
            ["mark", "--answers", "typo.txt", "--handed-in", "typo.txt", "--marks", "marks.tsv"],
            "typo.txt:1: a name holds a blank or a comma only where",
            id="a bad answer sheet",
        ),
    ],
)
def test_refusals_are_one_plain_line(
    tmp_path: Path,
    monkeypatch: pytest.MonkeyPatch,
    capsys: pytest.CaptureFixture[str],
    arguments: list[str],
    message: str,
) -> None:
    monkeypatch.chdir(tmp_path)
    (tmp_path / "typo.txt").write_bytes(b"ada Zq8!m\n")
    (tmp_path / "empty.txt").write_bytes(b"# nobody yet\n")
    (tmp_path / "utf16.txt").write_bytes("ada\n".encode("utf-16"))
    (tmp_path / "exists").mkdir()
    before = sorted(tmp_path.iterdir())
    status, out, err = main(arguments, capsys)
    assert (status, out) == (1, "")
    assert err.startswith("zentu-lab: ") and err.count("\n") == 1
    assert message in err
    assert sorted(tmp_path.iterdir()) == before


def test_missing_programs_are_named_with_their_packages(
    tmp_path: Path, monkeypatch: pytest.MonkeyPatch, capsys: pytest.CaptureFixture[str]
) -> None:
    monkeypatch.chdir(tmp_path)
    monkeypatch.setenv("PATH", str(tmp_path / "nothing"))
    status, out, err = main(["release", "--presets", "default,s390x"], capsys)
    assert (status, out) == (1, "")
    assert err == (
        "zentu-lab: the presets need ninja, dpkg-deb, dpkg-shlibdeps, file, s390x-linux-gnu-g++, "
        "qemu-s390x-static, which cannot run here: apt-get install ninja-build dpkg dpkg-dev file "
        "g++-s390x-linux-gnu qemu-user-static\n"
    )
    assert list(tmp_path.iterdir()) == []


@pytest.mark.parametrize(
    "arguments, status, err",
    [
        pytest.param(
            ["release", "--jbos", "2"], 2, "zentu-lab: error: unrecognized arguments: --jbos 2\n", id="parser"
        ),
        pytest.param(
            ["release", "--jobs", "-1"],
            1,
            "zentu-lab: --jobs is how many jobs run at once, a whole number " 'of at least 1, not "-1"\n',
            id="plain",
        ),
    ],
)
def test_what_the_shell_sees(tmp_path: Path, arguments: list[str], status: int, err: str) -> None:
    result = subprocess.run([str(COMMAND), *arguments], cwd=tmp_path, capture_output=True, timeout=60)
    assert (result.returncode, result.stdout) == (status, b"")
    assert result.stderr.decode().endswith(err)
    assert "Traceback" not in result.stderr.decode()
    assert list(tmp_path.iterdir()) == []


def test_an_internal_fault_is_one_line(monkeypatch: pytest.MonkeyPatch, capsys: pytest.CaptureFixture[str]) -> None:
    def broken(arguments: object) -> int:
        raise KeyError("oops")

    monkeypatch.setitem(cli.COMMANDS, "mark", broken)
    assert cli.main(["mark", "--answers", "a", "--handed-in", "h", "--marks", "m"]) == 1
    assert capsys.readouterr().err == "zentu-lab: internal error, please report it: KeyError: 'oops'\n"
