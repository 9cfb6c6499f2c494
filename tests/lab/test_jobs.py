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
