"""Where the package's streams meet Python file objects: the C library's
read and write callbacks over them, an output file that appears only once
complete, and the sealed armour (standard base64 between BEGIN and END
lines, 64 characters a line, as ``quorin seal -a`` writes it)."""

import base64
import binascii
import contextlib
import ctypes
import errno
import io
import os
import re
import secrets
import select
import signal
import tempfile
import threading
from typing import BinaryIO, Iterator, List, Optional

from ._native import READ_FN, WRITE_FN
from ._support import PathLike, write_all
from .errors import NotSealedError, TruncatedError

ARMOUR_BEGIN = b"-----BEGIN QUORIN SEALED FILE-----"
ARMOUR_END = b"-----END QUORIN SEALED FILE-----"
MAGIC = b"QUORSEAL"
_NOT_SEALED, _TRUNCATED = -30, -35


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
        self._readinto = getattr(fileobj, "readinto", None)
        self.function = READ_FN(self._read)

    def _read(self, _context: Optional[int], address: Optional[int], size: int) -> int:
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


class ArmourWriter:
    """A binary file object that writes what it is given as sealed armour
    to dst; finish() writes the end."""

    def __init__(self, dst: BinaryIO) -> None:
        self._dst = dst
        self._pending = b""
        write_all(dst, ARMOUR_BEGIN + b"\n")

    def write(self, data: bytes) -> int:
        data = self._pending + bytes(data)
        whole = len(data) - len(data) % 48
        self._pending = data[whole:]
        if whole:
            lines = [base64.b64encode(data[at:at + 48]) for at in range(0, whole, 48)]
            write_all(self._dst, b"\n".join(lines) + b"\n")
        return len(data)

    def finish(self) -> None:
        if self._pending:
            write_all(self._dst, base64.b64encode(self._pending) + b"\n")
        write_all(self._dst, ARMOUR_END + b"\n")


_QUOTE = re.compile(rb"^[ \t]*(?:>[ \t]*)*")
_BASE64 = re.compile(rb"^[A-Za-z0-9+/]*={0,2}$")


class ArmourReader:
    """The bytes of the sealed armour that src holds, read line by line in
    constant memory: the block between the BEGIN and END lines, wherever it
    sits and however deeply quoted ("> "). Text that is not such armour
    raises NotSealedError saying what is wrong (TruncatedError without an
    END line)."""

    def __init__(self, src: BinaryIO, first: bytes = b"") -> None:
        self._src = src
        self._pending = first  # text after the last whole line
        self._lines: List[bytes] = []
        self._decoded = b""
        self._ended = self._padded = False
        self._line = 0
        while True:
            line = self._next()
            if line is None:
                raise NotSealedError(_NOT_SEALED, "the input is not a sealed file: it starts with "
                                     "neither %r nor holds a line %r"
                                     % (MAGIC.decode(), ARMOUR_BEGIN.decode()))
            if line == ARMOUR_BEGIN:
                break

    def _next(self) -> Optional[bytes]:
        """The next line, unquoted and stripped; None at the end."""
        while not self._lines:
            more = self._src.read(1 << 16)
            if not more:
                if not self._pending:
                    return None
                self._lines, self._pending = [self._pending], b""
                break
            lines = (self._pending + bytes(more)).split(b"\n")
            self._pending = lines.pop()
            if len(self._pending) > 1 << 20:
                raise NotSealedError(_NOT_SEALED, "the input holds a line of more than 1 MiB: "
                                     "it is not armour")
            self._lines = lines[::-1]
        self._line += 1
        return _QUOTE.sub(b"", self._lines.pop()).strip()

    def read(self, size: int = -1) -> bytes:
        """Up to size decoded bytes (all that is left for -1); b"" at the end."""
        while not self._ended and (size < 0 or len(self._decoded) < size):
            text: List[bytes] = []
            for _ in range(1024):  # lines decoded at once
                line = self._next()
                if line is None:
                    raise TruncatedError(_TRUNCATED, "the armour has a BEGIN line but no END "
                                         "line: it was cut short")
                if line == ARMOUR_END:
                    self._ended = True
                    break
                if line:
                    text.append(self._checked(line))
            self._decoded += self._decode(b"".join(text))
        if size < 0:
            size = len(self._decoded)
        part, self._decoded = self._decoded[:size], self._decoded[size:]
        return part

    def _checked(self, line: bytes) -> bytes:
        if self._padded or not _BASE64.match(line):
            raise NotSealedError(_NOT_SEALED, "the armour's line %d is not base64 as an encoder "
                                 "writes it" % self._line)
        self._padded = line.endswith(b"=")  # only the last line may be padded
        return line

    def _decode(self, text: bytes) -> bytes:
        try:
            return base64.b64decode(text, validate=True)
        except binascii.Error as e:
            raise NotSealedError(_NOT_SEALED, "the armour is not base64 as an encoder writes "
                                 "it (%s)" % e) from None


def sealed_input(src: BinaryIO) -> BinaryIO:
    """src itself when it holds a sealed file, an ArmourReader over it when
    it holds armour; the bytes read to tell are not lost."""
    seekable = src.seekable()
    at = src.tell() if seekable else 0
    first = src.read(len(MAGIC))
    if first is None:
        raise BlockingIOError("the source has no data ready: a non-blocking file cannot be read")
    first = bytes(first)
    if first == MAGIC and seekable:
        src.seek(at)
        return src
    if first == MAGIC:
        return _Prefixed(first, src)  # type: ignore[return-value]
    return ArmourReader(src, first)  # type: ignore[return-value]


class _Prefixed:
    """Bytes already read, then the rest of a file object."""

    def __init__(self, prefix: bytes, rest: BinaryIO) -> None:
        self._prefix = prefix
        self._rest = rest

    def read(self, size: int = -1) -> bytes:
        if self._prefix:
            part = self._prefix if size < 0 else self._prefix[:size]
            self._prefix = self._prefix[len(part):]
            return part
        data = self._rest.read(size)
        if data is None:
            raise BlockingIOError("the source has no data ready")
        return bytes(data)
