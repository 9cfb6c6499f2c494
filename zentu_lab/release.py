"""A setter's release: every chosen preset's package built with one key, each
build tested by the whole suite; or, for a class, each student's packages,
built with the student's own key, and the answer sheet.

Every preset is built in build-release/PRESET/ with Ninja. One configure
gives zentu the first key and makes every other key one of the build's
further keys (packaging/release_keys.cmake); one build, one CTest run and
one build of the further keys' packages serve them all. The presets run side
by side, sharing the jobs. The result is made in OUT.partial and moved to
OUT only when all of it is made."""

import fcntl
import hashlib
import io
import re
import shutil
import subprocess
import sys
import threading
import time
import zipfile
from dataclasses import dataclass
from pathlib import Path

from . import files
from .jobs import Jobs, Stopped
from .keys import Key
from .presets import Preset
from .refusal import Refusal

ROUNDS = 5  # draws of a random key, at most, before the release gives up
LOG_TAIL = 6000  # bytes of a failed step's log that are shown


@dataclass
class Student:
    """One key of the release, and where its packages go: a student of a
    class, or the one key of a keyed release (name None)."""

    number: int
    count: int
    name: str | None
    key: Key | None  # None: the built-in key
    drawn: bool
    full_name: str | None = None  # in Moodle's grading worksheet

    @property
    def destination(self) -> Path:
        return Path(".") if self.name is None else Path("handout", self.name)

    @property
    def label(self) -> str:
        return "the key" if self.name is None else f"key {self.number}/{self.count}, {self.name}"


class StepFailed(Exception):
    """A step of one preset failed: which, and the log that shows why."""

    def __init__(self, label: str, log: Path | None = None) -> None:
        super().__init__(label)
        self.label = label
        self.log = log


def counted(count: int, thing: str) -> str:
    return f"1 {thing}" if count == 1 else f"{count} {thing}s"


def checksums(folder: Path) -> bytes:
    sums = ""
    for package in sorted(path.name for path in folder.glob("zentu*")):
        sums += f"{hashlib.sha256((folder / package).read_bytes()).hexdigest()}  {package}\n"
    return sums.encode()


def moodle_folder(student: Student) -> str:
    """The folder that Moodle's feedback upload gives to the student: as its
    own downloads name them, the full name, whose "_" would split the name
    and whose "/" would make a folder, then the participant's number."""
    assert student.name is not None and student.full_name is not None
    number = re.search(r"[0-9]+$", student.name)
    if number is None:
        raise Refusal(f'{student.name} is not Moodle\'s "Participant" and a number, which the feedback upload needs')
    full_name = student.full_name.replace("_", " ").replace("/", " ")
    return f"{full_name}_{number[0]}_assignsubmission_file_"


def feedback_zip(staging: Path, students: list[Student], epoch: int) -> bytes:
    """Moodle's "Upload multiple feedback files in a zip": a folder for
    each student, holding the student's packages and SHA256SUMS. Entries
    are dated EPOCH, so that one commit gives the same bytes."""
    date_time = time.gmtime(max(epoch, 315532800))[:6]  # a ZIP's dates begin in 1980
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w") as archive:
        for student in students:
            folder = moodle_folder(student)
            for path in sorted((staging / student.destination).iterdir()):
                entry = zipfile.ZipInfo(f"{folder}/{path.name}", date_time)
                entry.external_attr = 0o644 << 16
                entry.compress_type = zipfile.ZIP_DEFLATED
                archive.writestr(entry, path.read_bytes())
    return buffer.getvalue()


def packages_epoch(build: Path) -> int:
    """The time that the build dates its packages with (packaging/CMakeLists.txt)."""
    found = re.search(r'set\(CPACK_ZENTU_SOURCE_DATE_EPOCH "([0-9]+)"\)', (build / "CPackConfig.cmake").read_text())
    if found is None:
        raise RuntimeError(f"{build}/CPackConfig.cmake names no CPACK_ZENTU_SOURCE_DATE_EPOCH")
    return int(found[1])


def answer_sheet(students: list[Student]) -> bytes:
    """answers.tsv: a line for each student, the name, the key and its hex."""
    lines = ["# name\tkey\tkey in hex\n"]
    for student in students:
        assert student.key is not None and student.name is not None
        lines.append(f"{student.name}\t{student.key.text}\t{student.key.hex}\n")
    return "".join(lines).encode()


class Release:
    def __init__(
        self,
        source: Path,
        out: Path,
        presets: list[Preset],
        jobs: int,
        students: list[Student],
    ) -> None:
        self.source = source
        self.out = out
        self.presets = presets
        # As many presets as jobs at once, each tool of theirs running its
        # share of twice as many jobs: all of them where one preset runs alone.
        steps = min(jobs, len(presets))
        self.jobs = Jobs(jobs, max(1, min(jobs, 2 * jobs // steps)))
        self.students = students
        self.work = source / "build-release"
        self.staging = out.with_name(out.name + ".partial")
        self.is_class = students[0].name is not None
        # zentu's own key: the first student's, as the first round drew it.
        self.zentu_key = students[0].key
        self.depends: str | None = None  # the first .deb's Depends
        self._said = threading.Lock()
        self._failure: BaseException | None = None

    def say(self, line: str) -> None:
        with self._said:
            print(line, flush=True)

    def make(self) -> None:
        """Makes the release, or stops every job, removes what it made and
        raises StepFailed or KeyboardInterrupt."""
        started = time.monotonic()
        self.work.mkdir(exist_ok=True)
        with open(self.work / "lock", "w") as lock:
            # One release at a time in a clone: they would share build-release/.
            try:
                fcntl.lockf(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
            except OSError as error:
                raise Refusal(f"Another release is running in {self.source}: {error.strerror}") from None
            if self.staging.exists() or self.staging.is_symlink():
                self.say(f"Removing {self.staging}, left by a release that did not finish")
                files.remove(self.staging)
            self.staging.mkdir(parents=True)
            try:
                self._rounds()
                self._finish()
            except BaseException:
                self.jobs.stop()
                files.remove(self.staging)
                raise
        self.say(f"Done in {time.monotonic() - started:.0f} s: {self.out}")
        if (self.out / "moodle-feedback.zip").exists():
            self.say(
                f"Upload {self.out}/moodle-feedback.zip to the assignment's "
                '"Upload multiple feedback files in a zip", or'
            )
        if self.is_class:
            self.say(f"Hand out each folder in {self.out}/handout/.")
            self.say(
                f"Keep {self.out}/answers.tsv and {self.work}, whose build caches hold the keys, "
                "away from the students."
            )

    def _rounds(self) -> None:
        """A key can stand whole in an executable by chance: its first four
        bytes as an operand, its fifth the next instruction's first byte. A
        key drawn at random that does is drawn again, and its packages made
        again with every preset; a key that was given fails the release."""
        jobs = "1 job" if self.jobs.limit == 1 else f"{self.jobs.limit} jobs"
        keys = counted(len(self.students), "key")
        building = ", ".join(preset.name for preset in self.presets)
        self.say(f"Building {building} with {keys} in {self.work}, {jobs} at once")
        pending = list(self.students)
        for round in range(1, ROUNDS + 2):
            if not pending:
                return
            if round > ROUNDS:
                names = ", ".join(str(student.name) for student in pending)
                raise StepFailed(
                    f"{ROUNDS} random keys for each of {names} stood whole in an executable: "
                    "a build that stores the key as it is would do that"
                )
            for student in pending:
                (self.staging / student.destination).mkdir(parents=True, exist_ok=True)
            exposed = self._round(round, pending)
            pending = [student for student in self.students if student.number in exposed]
            for student in pending:
                student.key = Key.random()
                files.remove(self.staging / student.destination)
            if pending:
                names = ", ".join(str(student.name) for student in pending)
                self.say(f"New random keys for {names}, whose keys stood whole in an executable")

    def _round(self, round: int, pending: list[Student]) -> set[int]:
        """Builds the pending keys with every preset, side by side, and
        returns the numbers of the keys that stood whole in an executable."""
        exposed: set[int] = set()

        def build(number: int, preset: Preset) -> None:
            try:
                exposed.update(self._preset(number, preset, round, pending))
            except Stopped:
                pass
            except BaseException as failure:
                with self._said:
                    if self._failure is None:
                        self._failure = failure
                self.jobs.stop()

        threads = [
            threading.Thread(target=build, args=(number, preset), name=preset.name)
            for number, preset in enumerate(self.presets, start=1)
        ]
        for thread in threads:
            thread.start()
        try:
            for thread in threads:
                while thread.is_alive():
                    thread.join(0.1)
        except BaseException:
            self.jobs.stop()
            for thread in threads:
                thread.join()
            raise
        if self._failure is not None:
            raise self._failure
        return exposed

    def _step(self, label: str, command: list[str], log: Path, parallel: bool = False, **env: str) -> None:
        if self.jobs.run(command, log, parallel, env or None) != 0:
            raise StepFailed(label, log)

    def _preset(self, number: int, preset: Preset, round: int, pending: list[Student]) -> set[int]:
        """One preset's round. In the first, zentu itself is built with the
        first key, and gets the whole suite before it is packaged; every other
        key, and every key of a later round, is one of the further keys,
        checked and packaged beside it."""
        progress = f"[{number}/{len(self.presets)}] {preset.name}"
        build = self.work / preset.name
        log = self.work / f"{preset.name}.log"
        first = self.students[0]
        further = [student for student in pending if round > 1 or student is not first]

        self.say(f"{progress}: configure")
        items = ",".join(f"{student.number}={student.key.hex}" for student in further if student.key)
        # A build folder may hold another release's cache; in a later round it
        # holds this one's, and keeps the first key, so that zentu is not
        # built again.
        fresh = ["--fresh"] if round == 1 else []
        self._step(
            f"{preset.name}: configure",
            ["cmake", "-S", str(self.source), "-B", str(build), "--preset", preset.name, "-G", "Ninja", *fresh]
            + ["-DZENTU_KEY=", f"-DZENTU_KEY_HEX={self.zentu_key.hex if self.zentu_key else ''}"]
            + [f"-DZENTU_RELEASE_KEYS={items}"],
            log,
        )
        self.say(f"{progress}: build")
        self._step(f"{preset.name}: build", ["cmake", "--build", str(build)], log, parallel=True)

        ctest = ["ctest", "--test-dir", str(build), "--output-on-failure", "--no-tests=error"]
        if round == 1:
            tests = f"{preset.name}: suite"
            if len(further) == 1:
                self.say(f"{progress}: suite, and the other key's checks")
            elif further:
                self.say(f"{progress}: suite, and the other {len(further)} keys' checks")
            else:
                self.say(f"{progress}: suite")
        else:
            tests = f"{preset.name}: checks"
            self.say(f"{progress}: the checks of {counted(len(further), 'key')}")
            ctest += ["-L", "^keys$"]
        failed_list = build / "Testing" / "Temporary" / "LastTestsFailed.log"
        failed_list.unlink(missing_ok=True)
        status = self.jobs.run(ctest, log, parallel=True)
        failures = failed_list.read_text().split() if failed_list.exists() else []
        if status != 0 and not failures:
            raise StepFailed(tests, log)
        exposed: set[int] = set()
        # Only key_hidden may fail, and only for a key drawn at random.
        for failure in failures:
            test = failure.split(":", 1)[-1]
            key_test = re.fullmatch(r"key([0-9]+)_(.*)", test)
            if round == 1 and test == "key_hidden":
                student = first
            elif key_test is not None:
                student = self.students[int(key_test[1]) - 1]
                if key_test[2] != "key_hidden":
                    raise StepFailed(f"{preset.name}: {student.label}: {key_test[2]}", log)
            else:
                raise StepFailed(f"{tests}: {test}", log)
            if not student.drawn:
                raise StepFailed(
                    f"{preset.name}: {student.label}: key_hidden: the key stands whole in the executable, "
                    "choose another",
                    log,
                )
            self.say(f"{progress}: {student.label}: the random key stands whole in the executable")
            exposed.add(student.number)

        if round == 1 and first.number not in exposed:
            self.say(f"{progress}: package")
            packages = build / "packages"
            files.remove(packages)
            self._step(
                f"{preset.name}: package",
                ["cpack", "-G", preset.generator, "--config", str(build / "CPackConfig.cmake"), "-B", str(packages)],
                log,
            )
            self._keep(packages, first, f"{preset.name}: package")
        kept = [student for student in further if student.number not in exposed]
        if kept:
            for student in kept:
                files.remove(build / "keys" / str(student.number) / "packages")
            self.say(f"{progress}: the packages of {counted(len(kept), 'key')}")
            # A .deb takes the Depends of the first, which saves each a run
            # of dpkg-shlibdeps (package_settings.cmake).
            env = {} if self.depends is None else {"ZENTU_DEB_DEPENDS": self.depends}
            targets = [f"package-key{student.number}" for student in kept]
            self._step(
                f"{preset.name}: packages", ["cmake", "--build", str(build), "--target", *targets], log, True, **env
            )
        for student in kept:
            self.say(f"{progress}: {student.label}")
            self._keep(build / "keys" / str(student.number) / "packages", student, f"{preset.name}: {student.label}")
        return exposed

    def _keep(self, folder: Path, student: Student, label: str) -> None:
        """Copies the one package that cpack made in FOLDER to the student's
        folder. Every .deb must depend on what the first one depends on."""
        made = [*folder.glob("zentu*.deb"), *folder.glob("zentu*.tar.gz")]
        if len(made) != 1:
            raise StepFailed(f"{label}: cpack made {len(made)} packages, not one")
        package = made[0]
        if package.suffix == ".deb":
            depends = subprocess.run(
                ["dpkg-deb", "--field", str(package), "Depends"], capture_output=True, text=True, check=True
            ).stdout.strip()
            if self.depends is None:
                self.depends = depends
            elif depends != self.depends:
                raise StepFailed(f'{label}: its Depends is "{depends}", not "{self.depends}"')
        shutil.copyfile(package, self.staging / student.destination / package.name)

    def _finish(self) -> None:
        """A checksum file for each folder of packages, the answer sheet, and
        the one move of it all into OUT."""
        for student in self.students:
            folder = self.staging / student.destination
            (folder / "SHA256SUMS").write_bytes(checksums(folder))
        if self.is_class:
            (self.staging / "answers.tsv").write_bytes(answer_sheet(self.students))
        if any(student.full_name is not None for student in self.students):
            epoch = packages_epoch(self.work / self.presets[0].name)
            (self.staging / "moodle-feedback.zip").write_bytes(feedback_zip(self.staging, self.students, epoch))
        try:
            files.rename_new(self.staging, self.out)
        except FileExistsError:
            raise StepFailed(f"{self.out} has come to exist meanwhile") from None


def failed(failure: StepFailed, out: Path) -> None:
    """Shows the end of the failed step's log, then what failed."""
    if failure.log is not None and failure.log.exists():
        with open(failure.log, "rb") as log:
            log.seek(max(0, log.seek(0, 2) - LOG_TAIL))
            sys.stderr.buffer.write(log.read())
        sys.stderr.flush()
        shown = f" The log above ends {failure.log}."
    else:
        shown = ""
    print(f"zentu-lab: the release failed: {failure.label}.{shown} Nothing was put in {out}.", file=sys.stderr)
