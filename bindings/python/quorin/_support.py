"""What the package's functions share: checking arguments the way Python's
own functions do, filling buffers from file objects, and the C library's
size-query convention."""

import ctypes
import operator
import os
from typing import BinaryIO, Callable, Tuple, Union

from .errors import check

BytesLike = Union[bytes, bytearray, memoryview]
PathLike = Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"]


def bytes_(value: object, what: str) -> bytes:
    if isinstance(value, (bytes, bytearray, memoryview)):
        return bytes(value)
    raise TypeError("%s must be bytes, not %s" % (what, type(value).__name__))


def path(value: PathLike, what: str) -> bytes:
    """A file name for the C library; like open(), refuses one with a NUL,
    which the system would cut short there."""
    name = os.fsencode(value)
    if b"\0" in name:
        raise ValueError("%s contains a NUL character" % what)
    return name


def fill(src: BinaryIO, into: memoryview) -> int:
    """Reads into `into` until it is full or src ends (file objects may
    return less than asked before the end); the count read."""
    readinto = getattr(src, "readinto", None)
    got = 0
    while got < len(into):
        if readinto is not None:
            n = readinto(into[got:])
        else:
            part = src.read(len(into) - got)
            if part is not None and not isinstance(part, (bytes, bytearray, memoryview)):
                raise TypeError("src.read() must return bytes, not %s" % type(part).__name__)
            n = None if part is None else len(part)
            if n:
                into[got:got + n] = part
        if n is None:
            raise BlockingIOError("src has no data ready: a non-blocking source cannot be streamed")
        if n == 0:
            break
        got += n
    return got


def write_all(dst: BinaryIO, data: bytes) -> None:
    """All of data to dst, also when dst.write takes only part of it (raw files)."""
    view = memoryview(data)
    while view:
        written = dst.write(view)
        if written is None:
            raise BlockingIOError("dst took no data: a non-blocking destination cannot be streamed")
        view = view[written:] if isinstance(written, int) else view[len(view):]


def sized(call: Callable[..., int], *args: object,
          checked: Callable[[int], None] = check, wipe: bool = False) -> bytes:
    """Runs a C call with the size-query convention: learn the size, then
    fill; `checked` raises for a failed status. With wipe, the C buffer is
    zeroed once its bytes are copied out (plaintext)."""
    size = ctypes.c_size_t(0)
    checked(call(*args, None, ctypes.byref(size)))
    out = (ctypes.c_uint8 * max(size.value, 1))()
    try:
        checked(call(*args, out, ctypes.byref(size)))
        return ctypes.string_at(out, size.value)
    finally:
        if wipe:
            ctypes.memset(out, 0, len(out))


def choice(value: object, choices: Tuple[Union[int, str], ...], what: str) -> int:
    """The index of value among choices; TypeError for a value of another
    type (128.0 is not 128, True is not 1), ValueError for one not listed."""
    if isinstance(choices[0], int):
        if isinstance(value, bool) or not hasattr(value, "__index__"):
            raise TypeError("%s must be an int, not %s" % (what, type(value).__name__))
        value = operator.index(value)
    elif not isinstance(value, str):
        raise TypeError("%s must be a str, not %s" % (what, type(value).__name__))
    if value not in choices:
        raise ValueError("%s must be one of %s, not %r"
                         % (what, ", ".join(map(str, choices)), value))
    return choices.index(value)


