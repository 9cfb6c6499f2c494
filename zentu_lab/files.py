"""Files and folders that come into place whole, and never over another."""

import ctypes
import errno
import os
import shutil
import tempfile
from pathlib import Path

AT_FDCWD = -100
AT_SYMLINK_FOLLOW = 0x400
RENAME_NOREPLACE = 1
libc = ctypes.CDLL(None, use_errno=True)


def checked(result: int, path: Path) -> None:
    if result != 0:
        code = ctypes.get_errno()
        raise OSError(code, os.strerror(code), str(path))  # FileExistsError for EEXIST


def remove(path: Path) -> None:
    """Removes a file or a folder with all it holds, if it is there."""
    if path.is_dir() and not path.is_symlink():
        shutil.rmtree(path)
    else:
        path.unlink(missing_ok=True)


def rename_new(source: Path, target: Path) -> None:
    """Moves SOURCE to TARGET, which must not exist: FileExistsError where it
    does. rename(2) alone would put a folder in place of an empty one."""
    checked(libc.renameat2(AT_FDCWD, os.fsencode(source), AT_FDCWD, os.fsencode(target), RENAME_NOREPLACE), target)


def write_new(path: Path, data: bytes) -> None:
    """Writes a file that must not exist yet, whole or not at all:
    FileExistsError where it does. The bytes go into a file with no name in
    PATH's folder, which link(2) then names; so nothing ever stands beside
    PATH, not even after Ctrl-C, and no second name stays. Where the file
    system has no such files, a hidden file beside PATH takes their place
    until PATH is linked to it."""
    try:
        descriptor = os.open(path.parent, os.O_TMPFILE | os.O_WRONLY, 0o666)
        named = f"/proc/self/fd/{descriptor}"
    except OSError as error:
        if error.errno not in (errno.EOPNOTSUPP, errno.EISDIR, errno.EINVAL):
            raise
        descriptor, named = tempfile.mkstemp(dir=path.parent, prefix=f".{path.name}.")
        umask = os.umask(0o022)
        os.umask(umask)
        os.fchmod(descriptor, 0o666 & ~umask)  # as open(2) would have made it
    try:
        with open(descriptor, "wb", closefd=False) as file:
            file.write(data)
            file.flush()
            os.fsync(descriptor)
        # os.link() would not follow /proc's link to the file.
        checked(libc.linkat(AT_FDCWD, os.fsencode(named), AT_FDCWD, os.fsencode(path), AT_SYMLINK_FOLLOW), path)
    finally:
        os.close(descriptor)
        if not named.startswith("/proc/"):
            os.unlink(named)
