"""A failure or Ctrl-C stops every job, and whatever the jobs started."""

import threading
import time
from pathlib import Path

from zentu_lab.jobs import Jobs, Stopped, adopt_orphans, descendants


def test_stop_leaves_nothing_running(tmp_path: Path) -> None:
    adopt_orphans()
    jobs = Jobs(2, 2)
    outcomes: list[object] = []

    def step(command: list[str]) -> None:
        try:
            outcomes.append(jobs.run(command, tmp_path / f"log{len(outcomes)}"))
        except Stopped:
            outcomes.append(Stopped)

    # A child that stays in its group, one that leaves it (as a test may), and a
    # step that waits for a free job.
    commands = [["sh", "-c", "sleep 60 & setsid sleep 60 & wait"], ["sleep", "60"], ["sleep", "60"]]
    threads = [threading.Thread(target=step, args=(command,)) for command in commands]
    for thread in threads:
        thread.start()
    deadline = time.monotonic() + 10
    while len(descendants()) < 4 and time.monotonic() < deadline:
        time.sleep(0.05)
    running = descendants()
    assert len(running) >= 4
    started = time.monotonic()
    jobs.stop()
    for thread in threads:
        thread.join(10)
    assert time.monotonic() - started < 5
    assert outcomes == [Stopped, Stopped, Stopped]
    assert [pid for pid in running if alive(pid)] == []


def alive(pid: int) -> bool:
    try:
        with open(f"/proc/{pid}/stat", "rb") as stat:
            return stat.read().rsplit(b")", 1)[1].split()[0] != b"Z"
    except FileNotFoundError:
        return False


def test_a_stopped_script_removes_its_scratch_folder(tmp_path: Path) -> None:
    scratch = tmp_path / "scratch"
    scratch.mkdir()
    # As a test under CTest: its cleanup runs programs of its own after the
    # signal, which must be let finish.
    script = f"trap 'exit 1' TERM; trap 'sleep 0.3 && rm -r {scratch}' EXIT; sleep 60 & wait"
    jobs = Jobs(1, 1)
    thread = threading.Thread(target=lambda: run_until_stopped(jobs, ["sh", "-c", f'bash -c "{script}"; true']))
    thread.start()
    deadline = time.monotonic() + 10
    while len(descendants()) < 3 and time.monotonic() < deadline:
        time.sleep(0.05)
    jobs.stop()
    thread.join(10)
    assert not scratch.exists()


def run_until_stopped(jobs: Jobs, command: list[str]) -> None:
    try:
        jobs.run(command, Path("/dev/null"))
    except Stopped:
        return
    raise AssertionError("the job was not stopped")
