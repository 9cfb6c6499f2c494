"""Commands run for several threads at once, on no more cores than the
setter allows, and all of them stopped at once when one step fails or the
setter presses Ctrl-C."""

import ctypes
import os
import signal
import subprocess
import threading
import time
from collections.abc import Mapping, Sequence
from pathlib import Path

PR_SET_CHILD_SUBREAPER = 36
GRACE = 3  # seconds between SIGTERM and SIGKILL


class Stopped(Exception):
    """The jobs were stopped while this thread waited for one."""


def adopt_orphans() -> None:
    """Makes this process the parent of every descendant whose own parent
    ends, so that stop() finds one that ctest or ninja left behind."""
    libc = ctypes.CDLL(None, use_errno=True)
    libc.prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0)  # result ignored: stop() also kills by process group


def descendants() -> set[int]:
    """The processes that descend from this one, read off /proc."""
    children: dict[int, list[int]] = {}
    for entry in os.scandir("/proc"):
        if not entry.name.isdigit():
            continue
        try:
            with open(f"/proc/{entry.name}/stat", "rb") as stat:
                # After the command's ")": the state, then the parent's pid.
                state, parent = stat.read().rsplit(b")", 1)[1].split()[:2]
        except (OSError, ValueError):
            continue  # it ended meanwhile
        if state == b"Z":
            continue  # it has ended, and waits for its parent to be told
        children.setdefault(int(parent), []).append(int(entry.name))
    found: set[int] = set()
    pending = [os.getpid()]
    while pending:
        for child in children.get(pending.pop(), []):
            if child not in found:
                found.add(child)
                pending.append(child)
    return found


class Jobs:
    """At most LIMIT steps at once, and each build or CTest run among them
    told to run PARALLEL jobs of its own. A step holds its jobs from start
    to end, so a CTest run that began beside another would keep a single
    job while the other core idled: PARALLEL is more than LIMIT's share, so
    that no core waits, but not more than twice the cores in all."""

    def __init__(self, limit: int, parallel: int) -> None:
        self.limit = limit
        self.parallel = parallel
        self._free = limit
        self._changed = threading.Condition()
        self._running: set[subprocess.Popen[bytes]] = set()
        self.stopping = False

    def run(
        self,
        command: Sequence[str],
        log: Path,
        parallel: bool = False,
        env: Mapping[str, str] | None = None,
    ) -> int:
        """Runs COMMAND, with its output in LOG, and returns its status. A
        parallel command is told its jobs with --parallel."""
        with self._changed:
            self._changed.wait_for(lambda: self._free > 0 or self.stopping)
            if self.stopping:
                raise Stopped
            self._free -= 1
            if parallel:
                command = [*command, "--parallel", str(self.parallel)]
            try:
                with open(log, "wb") as output:
                    # A session of its own: Ctrl-C reaches this process alone,
                    # which stops every job itself.
                    process = subprocess.Popen(
                        command,
                        stdin=subprocess.DEVNULL,
                        stdout=output,
                        stderr=subprocess.STDOUT,
                        env=None if env is None else {**os.environ, **env},
                        start_new_session=True,
                    )
            except BaseException:
                self._free += 1
                raise
            self._running.add(process)
        try:
            status = process.wait()
        finally:
            with self._changed:
                self._running.discard(process)
                self._free += 1
                self._changed.notify_all()
        if self.stopping:
            raise Stopped
        return status

    def stop(self) -> None:
        """Stops every job and whatever it started, and starts no more. From
        the leaves up: SIGTERM first to what the jobs started, so that a
        test's script can remove its scratch folder before CTest, which kills
        its tests at once, hears of it; then to the jobs' process groups; and
        SIGKILL to every descendant still there after GRACE seconds."""
        with self._changed:
            self.stopping = True
            self._changed.notify_all()
            jobs = {process.pid for process in self._running}
        # Only those there now: a script's own cleanup, which starts after,
        # is let be.
        started = descendants() - jobs
        for pid in started:
            signal_process(pid, signal.SIGTERM)
        deadline = time.monotonic() + GRACE
        while started & descendants() and time.monotonic() < deadline:
            reap_orphans()
            time.sleep(0.05)
        for job in jobs:
            try:
                os.killpg(job, signal.SIGTERM)
            except ProcessLookupError:
                pass  # it has ended
        deadline = time.monotonic() + GRACE
        while descendants() and time.monotonic() < deadline:
            reap_orphans()
            time.sleep(0.05)
        for _ in range(100):
            left = descendants()
            if not left:
                return
            for pid in left:
                signal_process(pid, signal.SIGKILL)
            reap_orphans()
            time.sleep(0.05)


def signal_process(pid: int, number: int) -> None:
    try:
        os.kill(pid, number)
    except ProcessLookupError:
        pass  # it has ended


def reap_orphans() -> None:
    """Reaps the orphans that came to this process; the jobs themselves are
    reaped by their threads, or, where this comes first, count as stopped."""
    try:
        while os.waitpid(-1, os.WNOHANG) != (0, 0):
            pass
    except ChildProcessError:
        pass
