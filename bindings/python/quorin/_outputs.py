"""Where the package's streams meet Python file objects: the C library's
read and write callbacks over them, and an output file that appears only
once complete. (Armour is the C library's: it writes it when asked and
tells it apart when opening.)"""

import contextlib
import ctypes
import errno
import io
import os
import secrets
import select
import signal
import tempfile
import threading
import time
from typing import BinaryIO, Iterator, Optional

from ._native import READ_FN, WRITE_FN
from ._support import PathLike, write_all


_interrupted = threading.Event()


@contextlib.contextmanager
def interruptible() -> Iterator[None]:
    """Around a C call that runs callbacks on this thread. Ctrl-C raises
    KeyboardInterrupt as a callback starts, before any of its code runs, and
    ctypes then drops it and hands the library an undefined result (0 from
    a read would pass for the end of the input). So, on the main thread with
    Python's own Ctrl-C handler, Ctrl-C only sets a flag here: the next
    callback fails the call on it, and KeyboardInterrupt is raised once the
    call has returned."""
    if (threading.current_thread() is not threading.main_thread()
            or signal.getsignal(signal.SIGINT) is not signal.default_int_handler):
        yield
        return
    _interrupted.clear()
    previous = signal.signal(signal.SIGINT, lambda *_: _interrupted.set())
    try:
        yield
    finally:
        signal.signal(signal.SIGINT, previous)
    if _interrupted.is_set():
        _interrupted.clear()
        raise KeyboardInterrupt


def _stop_if_interrupted() -> None:
    if _interrupted.is_set():
        raise KeyboardInterrupt


class Source:
    """A file object as the C library's read function. An exception from
    the file object is kept (``error``) and ends the call; the caller raises
    it again."""

    def __init__(self, fileobj: BinaryIO) -> None:
        self.file = fileobj
        self.error: Optional[BaseException] = None
        self.inside = False  # whether a thread is in the function now
        self._left = False  # whether leave() was called: no read may start then
        self._entering = threading.Lock()
        self._readinto = getattr(fileobj, "readinto", None)
        self.function = READ_FN(self._read)

    def _read(self, _context: Optional[int], address: Optional[int], size: int) -> int:
        # A call that arrives after leave() reads nothing: the library's
        # thread may have passed its own stop check just before the stop.
        with self._entering:
            if self._left:
                return -1
            self.inside = True
        try:
            _stop_if_interrupted()
            if not address:
                return 0
            view = memoryview((ctypes.c_ubyte * size).from_address(address)).cast("B")
            if self._readinto is not None:
                n = self._readinto(view)
            else:
                data = self.file.read(size)
                if data is not None and not isinstance(data, (bytes, bytearray, memoryview)):
                    raise TypeError("read() must return bytes, not %s" % type(data).__name__)
                n = None if data is None else len(data)
                if n:
                    if n > size:
                        raise ValueError("read(%d) returned %d bytes" % (size, n))
                    view[:n] = data
            if n is None:
                raise BlockingIOError("the source has no data ready: a non-blocking file "
                                      "cannot be streamed")
            return int(n)
        except BaseException as e:  # noqa: B902 - passed on to the caller's thread
            self.error = e
            return -1
        finally:
            self.inside = False

    def leave(self, patience: float) -> bool:
        """Lets no further call read, and waits up to patience seconds for a
        call under way to return; whether none is under way."""
        with self._entering:
            self._left = True
        deadline = time.monotonic() + patience
        while self.inside and time.monotonic() < deadline:
            time.sleep(0.001)
        return not self.inside


_COPYING_FILES = (io.FileIO, io.BufferedWriter, io.BufferedRandom, io.BytesIO)


class Sink:
    """A file object as the C library's write function; as Source, an
    exception is kept and raised again by the caller."""

    def __init__(self, fileobj: BinaryIO) -> None:
        self.file = fileobj
        self.error: Optional[BaseException] = None
        # The library's memory may be lent to files known to copy it before
        # write() returns; any other gets a bytes object of its own.
        self._lend = type(fileobj) in _COPYING_FILES
        self.function = WRITE_FN(self._write)

    def _write(self, _context: Optional[int], address: Optional[int], size: int) -> int:
        try:
            _stop_if_interrupted()
            if size and self._lend:
                write_all(self.file, memoryview((ctypes.c_ubyte * size).from_address(address or 0)))
            elif size:
                write_all(self.file, ctypes.string_at(address or 0, size))
            return 0
        except BaseException as e:  # noqa: B902
            self.error = e
            return 1


def raise_kept(*ends: object) -> None:
    """Raises the first exception a Source or Sink kept, if any."""
    for end in ends:
        error = getattr(end, "error", None)
        if error is not None:
            raise error


class AtomicOutput:
    """A new file in dst's folder (mode 0600) that takes dst's name only on
    commit(); discard() or a failure leaves nothing. Without replace an
    existing dst is refused, up front and again at the end. Where the
    system allows, the file has no name until commit (O_TMPFILE), so that
    a process killed half-way leaves nothing on disk, as the C library's
    outputs do; elsewhere it is a hidden ".quorin-*" file until then."""

    def __init__(self, dst: PathLike, replace: bool) -> None:
        self.path = os.fsdecode(dst)
        self.replace = replace
        if not replace and os.path.lexists(self.path):
            raise FileExistsError(errno.EEXIST, "exists: choose another name or pass replace=True",
                                  self.path)
        self.folder = os.path.dirname(os.path.abspath(self.path))
        self.temp: Optional[str] = None
        fd = _unnamed_file(self.folder)
        if fd is None:
            fd, self.temp = tempfile.mkstemp(prefix=".quorin-", dir=self.folder)
        self.file: BinaryIO = os.fdopen(fd, "wb")

    def commit(self) -> None:
        self.file.flush()
        os.fsync(self.file.fileno())
        try:
            if self.temp is None:
                self._name_unnamed()
            elif self.replace:
                os.replace(self.temp, self.path)
            else:
                os.link(self.temp, self.path)  # never over a file that appeared meanwhile
                os.unlink(self.temp)
        except BaseException:
            self.discard()
            raise
        self.file.close()

    def _name_unnamed(self) -> None:
        # linkat(AT_SYMLINK_FOLLOW) on the descriptor's /proc entry; Python
        # calls linkat, not link, only when given a directory descriptor.
        fds = os.open("/proc/self/fd", os.O_RDONLY | os.O_DIRECTORY | os.O_CLOEXEC)
        try:
            here = str(self.file.fileno())
            if not self.replace:
                # Refuses a file that appeared meanwhile.
                os.link(here, self.path, src_dir_fd=fds, follow_symlinks=True)
                return
            # Named first beside dst, complete, then moved over it in one step.
            self.temp = os.path.join(self.folder, ".quorin-" + secrets.token_hex(8))
            os.link(here, self.temp, src_dir_fd=fds, follow_symlinks=True)
            os.replace(self.temp, self.path)
            self.temp = None
        finally:
            os.close(fds)

    def discard(self) -> None:
        self.file.close()
        if self.temp is None:
            return
        try:
            os.unlink(self.temp)
        except FileNotFoundError:
            pass


def _unnamed_file(folder: str) -> Optional[int]:
    """A descriptor of a new nameless file in folder (mode 0600), or None
    where the system or the file system has no such files."""
    flag = getattr(os, "O_TMPFILE", None)
    if flag is None or not os.path.isdir("/proc/self/fd"):
        return None
    try:
        return os.open(folder, flag | os.O_WRONLY | os.O_CLOEXEC, 0o600)
    except OSError as e:
        if e.errno in (errno.EOPNOTSUPP, errno.EISDIR, errno.EINVAL):
            return None
        raise


class StoppableFile:
    """A raw file (a pipe, a device) whose read waits until there is data or
    stop() is called from another thread; a stopped read raises."""

    def __init__(self, raw: BinaryIO) -> None:
        self._raw = raw
        self._wake, self._waker = os.pipe()
        self._stopped = False

    def read(self, size: int = -1) -> bytes:
        ready, _, _ = select.select([self._raw, self._wake], [], [])
        if self._stopped or self._wake in ready:
            raise OSError(errno.ECANCELED, "reading was stopped: the sealed file was closed")
        return self._raw.read(size if size >= 0 else 1 << 16) or b""

    def readinto(self, into: memoryview) -> int:
        data = self.read(len(into))
        into[:len(data)] = data
        return len(data)

    def seekable(self) -> bool:
        return False

    def stop(self) -> None:
        if not self._stopped and self._waker >= 0:
            self._stopped = True
            os.write(self._waker, b"\0")

    def close(self) -> None:
        fds, self._wake, self._waker = (self._wake, self._waker), -1, -1
        for fd in fds:
            if fd >= 0:
                os.close(fd)


