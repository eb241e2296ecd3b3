"""Sealed files: RC6 under a random file key, opened by any one of its
recipients (a passphrase, a key file, or an X25519 public key whose identity
opens it), with an authenticated header and a tag on every chunk, so that a
wrong secret or an altered file is refused before any of its plaintext is
released. The same files as ``quorin seal`` and ``quorin open`` and the C++
library's SealFile and OpenFile."""

import atexit
import builtins
import ctypes
import io
import os
import stat
import sys
import threading
import warnings
import weakref
from dataclasses import dataclass
from typing import IO, Any, BinaryIO, Iterable, List, Literal, Optional, Tuple, Union, cast, overload

from . import _outputs
from ._native import Named
from ._native import lib as _lib
from ._support import BytesLike, PathLike, bytes_, choice, path, sized
from .errors import check

__all__ = ["Identity", "Recipient", "SealedHeader", "SealedReader", "SealedWriter",
           "generate_identity", "keygen", "open", "open_file", "open_sealed", "seal",
           "seal_file", "sealed_header", "COSTS"]

#: The Argon2id costs a passphrase is hashed with: (passes, bytes of memory).
COSTS = {"interactive": (2, 64 << 20), "moderate": (3, 256 << 20), "sensitive": (4, 1 << 30)}
_MODES = ("ecb", "cbc", "cfb", "ofb")  # the C library's numbering; ECB is refused
_SEALING_MODES = ("cbc", "cfb", "ofb")
_KEY_SIZES = (128, 192, 256)
_KINDS = ("passphrase", "key_file", "identity")
_INVALID, _CALLBACK_FAILED = -21, -25
# How much of a key file named by path is read: far beyond any key file (the
# library refuses more than 1024 bytes), so that /dev/zero is not read for ever.
_READ_AT_MOST = 1 << 20

Cost = Union[str, Tuple[int, int]]
Source = Union[PathLike, BinaryIO]


def _text(value: object, what: str) -> bytes:
    if isinstance(value, str):
        return value.encode("utf-8")
    raise TypeError("%s must be a str, not %s" % (what, type(value).__name__))


def _valid(add: Any, text: bytes, what: str) -> None:
    """Checks a printed recipient or identity with the C library's parser."""
    handle = _lib.quorin_secrets_new()
    try:
        status = add(handle, text, len(text))
        if status != 0:
            raise ValueError("not a valid %s: %s" % (what, _lib.quorin_last_error().decode()))
    finally:
        _lib.quorin_secrets_free(handle)


class Recipient:
    """Whom a file is sealed to: the public half of an identity, printed
    "quorin1..." (Bech32, so a mistyped character is caught)."""

    __slots__ = ("_text",)

    def __init__(self, text: str) -> None:
        raw = _text(text, "a recipient").strip()
        _valid(_lib.quorin_secrets_add_recipient, raw, "recipient")
        self._text = raw.decode()

    def __str__(self) -> str:
        return self._text

    def __repr__(self) -> str:
        return "Recipient(%r)" % self._text

    def __eq__(self, other: object) -> bool:
        return isinstance(other, Recipient) and other._text == self._text

    def __hash__(self) -> int:
        return hash(self._text)


class Identity:
    """An X25519 key pair's secret half, which opens files sealed to its
    recipient; printed "QUORIN-IDENTITY-1..." by str(). Keep it as secret as
    a key file. repr() shows only the recipient."""

    __slots__ = ("_text",)

    def __init__(self, text: str) -> None:
        raw = _text(text, "an identity").strip()
        _valid(_lib.quorin_secrets_add_identity, raw, "identity")
        self._text = raw.decode()

    @classmethod
    def generate(cls) -> "Identity":
        """A new identity from the system's random source."""
        return cls(sized(_lib.quorin_identity_new).decode())

    @property
    def recipient(self) -> Recipient:
        """The public half, to give to whoever seals files for this identity."""
        raw = self._text.encode()
        return Recipient(sized(_lib.quorin_identity_recipient, raw, len(raw)).decode())

    def __str__(self) -> str:
        return self._text

    def __repr__(self) -> str:
        return "Identity(recipient=%r)" % str(self.recipient)

    def __eq__(self, other: object) -> bool:
        return isinstance(other, Identity) and other._text == self._text

    def __hash__(self) -> int:
        return hash(self._text)


def generate_identity() -> Identity:
    """A new identity (str() gives its secret printed form; .recipient the
    public one)."""
    return Identity.generate()


def keygen(path_: PathLike) -> None:
    """Writes a new key file of 32 random bytes at path, mode 0600, which
    appears only once complete; FileError if anything is there already."""
    check(_lib.quorin_keygen(path(path_, "path")))


@dataclass(frozen=True)
class SealedHeader:
    """What a sealed file's header says, read without a secret."""

    version: int  #: the format version, 1 or 2
    mode: str  #: "cbc", "cfb" or "ofb"
    key_size: int  #: the RC6 key's bits: 128, 192 or 256
    kinds: Tuple[str, ...]  #: which secrets open it: "passphrase", "key_file", "identity"
    recipients: int  #: how many stanzas (recipients) the file has
    passes: int  #: the passphrase's Argon2id passes, 0 without a passphrase
    memory_bytes: int  #: ... and memory
    chunk_bytes: int  #: the plaintext of each chunk

    @property
    def cost(self) -> Optional[str]:
        """The passphrase's cost by name ("interactive", "moderate",
        "sensitive"), None without a passphrase or for other costs."""
        for name, costs in COSTS.items():
            if costs == (self.passes, self.memory_bytes):
                return name
        return None


# The names of the C library's options and header fields.
_OPTION = {"mode": 1, "key_size": 2, "passes": 3, "memory_bytes": 4, "format_version": 5,
           "armour": 6, "replace_output": 7, "max_passes": 8, "max_memory_bytes": 9}
_INFO = ("version", "mode", "key_size", "kinds", "recipients", "passes", "memory_bytes",
         "chunk_bytes")


def _new_info() -> Named:
    return Named(_lib.quorin_sealed_info_new(), _lib.quorin_options_free)


def _header(info: Named) -> SealedHeader:
    value = ctypes.c_uint64()

    def field(name: str) -> int:
        check(_lib.quorin_sealed_info_get(info, _INFO.index(name) + 1, ctypes.byref(value)))
        return value.value

    kinds = tuple(k for i, k in enumerate(_KINDS) if field("kinds") & (1 << i))
    return SealedHeader(field("version"), _MODES[field("mode")], field("key_size"), kinds,
                        field("recipients"), field("passes"), field("memory_bytes"),
                        field("chunk_bytes"))


def _passphrase(value: object) -> bytes:
    if isinstance(value, str):
        raw = value.encode("utf-8")  # as typed: not normalised, as the tool reads it
    elif isinstance(value, (bytes, bytearray, memoryview)):
        raw = bytes(value)
    else:
        raise TypeError("passphrase must be a str or bytes, not %s" % type(value).__name__)
    if not raw:
        raise ValueError("the passphrase is empty")
    return raw


def _key_file(value: object) -> bytes:
    """The key file's bytes: read from a path (str or os.PathLike), or given."""
    if isinstance(value, (bytes, bytearray, memoryview)):
        return bytes(value)
    if isinstance(value, str) or hasattr(value, "__fspath__"):
        with builtins.open(path(cast(PathLike, value), "key_file"), "rb") as f:
            data = f.read(_READ_AT_MOST + 1)
        if len(data) > _READ_AT_MOST:
            raise ValueError("the key file %s is larger than %d bytes: is it a key file?"
                             % (os.fsdecode(cast(PathLike, value)), _READ_AT_MOST))
        return data
    raise TypeError("key_file must be a path or the key file's bytes, not %s"
                    % type(value).__name__)


def _many(values: object, kind: type, what: str) -> Tuple[Any, ...]:
    """A tuple of kind from one or an iterable of kind or str."""
    if isinstance(values, (str, kind)):
        values = (values,)
    if not isinstance(values, Iterable):
        raise TypeError("%s must be an iterable of %s or str, not %s"
                        % (what, kind.__name__, type(values).__name__))
    out: List[Any] = []
    for v in values:
        if isinstance(v, str) and "\n" in v.strip():
            out.append(_ListText(v))
            continue
        if isinstance(v, str):
            v = kind(v)
        elif kind is Recipient and isinstance(v, Identity):
            v = v.recipient
        if not isinstance(v, kind):
            raise TypeError("%s must hold %s or str, not %s"
                            % (what, kind.__name__, type(v).__name__))
        out.append(v)
    return tuple(out)


class _ListText(str):
    """The text of an identity or recipients file, for the library to parse."""


class _Secrets:
    """The C library's set of secrets for one call, wiped when it ends."""

    def __init__(self, passphrase: object, key_file: object, identities: object = (),
                 recipients: object = ()) -> None:
        chosen = [(_lib.quorin_secrets_add_passphrase, _passphrase(passphrase))
                  if passphrase is not None else None,
                  (_lib.quorin_secrets_add_key_file, _key_file(key_file))
                  if key_file is not None else None]
        # The text of an identity or recipients file (several lines, '#'
        # comments) is parsed by the library, as the tool reads such files.
        for i in _many(identities, Identity, "identities"):
            listed = isinstance(i, _ListText)
            chosen.append((_lib.quorin_secrets_add_identities if listed
                           else _lib.quorin_secrets_add_identity, str(i).encode()))
        for r in _many(recipients, Recipient, "recipients"):
            listed = isinstance(r, _ListText)
            chosen.append((_lib.quorin_secrets_add_recipients if listed
                           else _lib.quorin_secrets_add_recipient, str(r).encode()))
        adds = [c for c in chosen if c is not None]
        if not adds:
            raise ValueError("give a passphrase, a key file, %s"
                             % ("or recipients" if recipients != () else "or identities"))
        self.handle: Optional[int] = _lib.quorin_secrets_new()
        if not self.handle:
            raise MemoryError("quorin_secrets_new failed")
        try:
            for add, raw in adds:
                status = add(self.handle, raw, len(raw))
                if status == _INVALID:
                    raise ValueError(_lib.quorin_last_error().decode())
                check(status)
        except BaseException:
            self.close()
            raise

    def close(self) -> None:
        if self.handle:
            _lib.quorin_secrets_free(self.handle)
            self.handle = None

    def __enter__(self) -> "_Secrets":
        return self

    def __exit__(self, *exc: object) -> None:
        self.close()


def _seal_options(mode: object, key_size: object, cost: object, replace: bool = False,
                  format_version: int = 2, armour: bool = False) -> Named:
    o = Named(_lib.quorin_seal_options_new(), _lib.quorin_options_free)
    if isinstance(cost, str):
        choice(cost, tuple(COSTS), "cost")
        passes, memory = COSTS[cost]
    elif (isinstance(cost, tuple) and len(cost) == 2
          and all(isinstance(c, int) and not isinstance(c, bool) for c in cost)):
        passes, memory = cost
    else:
        raise TypeError("cost must be %s or a tuple (passes, memory_bytes), not %r"
                        % (", ".join(map(repr, COSTS)), cost))
    values = {"mode": _MODES.index(_SEALING_MODES[choice(mode, _SEALING_MODES, "mode")]),
              "key_size": _KEY_SIZES[choice(key_size, _KEY_SIZES, "key_size")],
              "passes": passes, "memory_bytes": memory, "replace_output": int(bool(replace)),
              "format_version": format_version, "armour": int(bool(armour))}
    for name, value in values.items():
        _set(_lib.quorin_seal_options_set, o, name, value)
    return o


def _open_options(cost_limit: Optional[Tuple[int, int]], replace: bool = False) -> Named:
    o = Named(_lib.quorin_open_options_new(), _lib.quorin_options_free)
    if cost_limit is not None:
        if not (isinstance(cost_limit, tuple) and len(cost_limit) == 2
                and all(isinstance(c, int) and not isinstance(c, bool) for c in cost_limit)):
            raise TypeError("cost_limit must be a tuple (passes, memory_bytes), not %r"
                            % (cost_limit,))
        _set(_lib.quorin_open_options_set, o, "max_passes", cost_limit[0])
        _set(_lib.quorin_open_options_set, o, "max_memory_bytes", cost_limit[1])
    _set(_lib.quorin_open_options_set, o, "replace_output", int(bool(replace)))
    return o


def _set(setter: Any, options: Named, name: str, value: int) -> None:
    """One option by name; a value its field cannot hold (a negative one, or
    passes beyond 32 bits) is refused, never wrapped."""
    if value < 0 or value >= 1 << 64:
        raise ValueError("%s must be a whole number from 0 to 2**64 - 1, not %d" % (name, value))
    _call(setter(options, _OPTION[name], value))


def _call(status: int, *ends: object) -> None:
    """Raises for a failed call: the caller's own exception first, when one
    of its file objects raised it."""
    if status == _CALLBACK_FAILED:
        _outputs.raise_kept(*ends)
    if status == _INVALID:
        raise ValueError(_lib.quorin_last_error().decode())
    check(status)


def _is_path(value: object) -> bool:
    return isinstance(value, (str, bytes)) or hasattr(value, "__fspath__")


def _is_regular_file(value: object) -> bool:
    """A path naming a regular file, which the C library may open by name;
    anything else (a FIFO, /dev/stdin) is opened and read here."""
    if not _is_path(value):
        return False
    try:
        return stat.S_ISREG(os.stat(path(cast(PathLike, value), "path")).st_mode)
    except OSError:
        return False


def _binary_file(value: object, what: str, writing: bool) -> BinaryIO:
    method = "write" if writing else "read"
    if not callable(getattr(value, method, None)):
        raise TypeError("%s must be a path or a binary file object, not %s"
                        % (what, type(value).__name__))
    if isinstance(value, io.TextIOBase):
        raise TypeError("%s is a text file: open it in binary mode ('%s')"
                        % (what, "wb" if writing else "rb"))
    if getattr(value, "closed", False):
        raise ValueError("I/O operation on closed file (%s)" % what)
    return cast(BinaryIO, value)


def seal(data: BytesLike, *, passphrase: Union[str, BytesLike, None] = None,
         key_file: Union[PathLike, BytesLike, None] = None,
         recipients: Union[Iterable[Union[Recipient, Identity, str]], Recipient, str] = (),
         mode: str = "cbc", key_size: int = 256, cost: Cost = "moderate",
         armour: bool = False) -> bytes:
    """Seals data for a passphrase or a key file and any recipients; the
    sealed bytes (or, with armour, text: base64 between BEGIN and END lines).

    passphrase is a str (taken as UTF-8, not normalised) or bytes; key_file
    the path of a key file (as ``quorin keygen`` writes) or its bytes."""
    raw = bytes_(data, "data")
    options = _seal_options(mode, key_size, cost, armour=armour)
    with _Secrets(passphrase, key_file, recipients=recipients) as s:
        return sized(_lib.quorin_seal_buffer, s.handle, options, raw, len(raw),
                     checked=_call)


def open(data: Union[BytesLike, str], *, passphrase: Union[str, BytesLike, None] = None,
         key_file: Union[PathLike, BytesLike, None] = None,
         identities: Union[Iterable[Union[Identity, str]], Identity, str] = (),
         cost_limit: Optional[Tuple[int, int]] = None) -> bytes:
    """The plaintext of a sealed file held in memory (its bytes, or its
    armour as str or bytes), once every tag matched. Raises
    AuthenticationError for a wrong secret or an altered file,
    TruncatedError, NotSealedError, ... (subclasses of QuorinError)."""
    raw = data.encode("utf-8") if isinstance(data, str) else bytes_(data, "data")
    options = _open_options(cost_limit)
    with _Secrets(passphrase, key_file, identities) as s:
        return sized(_lib.quorin_open_buffer, s.handle, options, raw, len(raw),
                     checked=_call, wipe=True)


class _Endpoint:
    """One end of a file call: a path opened here (and closed again, an
    output only moved into place on success) or the caller's file object."""

    def __init__(self, value: Source, what: str, writing: bool, replace: bool = False) -> None:
        self.atomic: Optional[_outputs.AtomicOutput] = None
        self.owned: Optional[IO[bytes]] = None
        self.stoppable: Optional[_outputs.StoppableFile] = None
        self.writing = writing
        if _is_path(value):
            name = path(cast(PathLike, value), what)
            if writing:
                self.atomic = _outputs.AtomicOutput(name, replace)
                self.file: BinaryIO = self.atomic.file
            else:
                self.owned = builtins.open(name, "rb", buffering=0)
                if not stat.S_ISREG(os.fstat(self.owned.fileno()).st_mode):
                    self.stoppable = _outputs.StoppableFile(self.owned)
                self.file = cast(BinaryIO, self.stoppable or self.owned)
        else:
            self.file = _binary_file(value, what, writing)

    def stop(self) -> None:
        """Ends a read that waits on a pipe or device opened here."""
        if self.stoppable is not None:
            self.stoppable.stop()

    def done(self, ok: bool) -> None:
        if self.stoppable is not None:
            self.stoppable.close()
        if self.owned is not None:
            self.owned.close()
        elif self.atomic is not None:
            self.atomic.commit() if ok else self.atomic.discard()
        elif ok and self.writing and hasattr(self.file, "flush"):
            self.file.flush()


def _through(src: Source, dst: Source, replace: bool, work: Any) -> None:
    """Runs work(source file, destination file) between the two ends; the
    destination path appears only when work succeeds."""
    source = _Endpoint(src, "src", False)
    try:
        sink = _Endpoint(dst, "dst", True, replace)
    except BaseException:
        source.done(False)
        raise
    ok = False
    try:
        work(source.file, sink.file)
        ok = True
    finally:
        source.done(ok)
        sink.done(ok)


def seal_file(src: Source, dst: Source, *, passphrase: Union[str, BytesLike, None] = None,
              key_file: Union[PathLike, BytesLike, None] = None,
              recipients: Union[Iterable[Union[Recipient, Identity, str]], Recipient, str] = (),
              mode: str = "cbc", key_size: int = 256, cost: Cost = "moderate",
              armour: bool = False, replace: bool = False) -> None:
    """Seals src into dst; each a path or a binary file object. A dst path
    is written to a temporary file in its folder and renamed only once all
    is sealed, so a failure (the caller's file object raising too) leaves no
    file; an existing dst is refused unless replace. New files get mode 0600."""
    options = _seal_options(mode, key_size, cost, replace, armour=armour)
    with _Secrets(passphrase, key_file, recipients=recipients) as s:
        if _is_regular_file(src) and _is_path(dst):
            _call(_lib.quorin_seal_file(s.handle, options,
                                        path(cast(PathLike, src), "src"),
                                        path(cast(PathLike, dst), "dst")))
            return

        def work(source: BinaryIO, sink: BinaryIO) -> None:
            reader = _outputs.Source(source)
            writer = _outputs.Sink(sink)
            with _outputs.interruptible():
                _call(_lib.quorin_seal_stream(s.handle, options, reader.function,
                                              None, writer.function, None), reader, writer)

        _through(src, dst, replace, work)


def open_file(src: Source, dst: Source, *, passphrase: Union[str, BytesLike, None] = None,
              key_file: Union[PathLike, BytesLike, None] = None,
              identities: Union[Iterable[Union[Identity, str]], Identity, str] = (),
              cost_limit: Optional[Tuple[int, int]] = None, replace: bool = False) -> None:
    """Opens the sealed file (or its armour) src into dst; each a path or a
    binary file object. A dst path appears only once every tag matched: a
    wrong secret or an altered file leaves no file. To a file object, what
    was written before a failure came from chunks whose tags matched."""
    options = _open_options(cost_limit, replace)
    with _Secrets(passphrase, key_file, identities) as s:
        if _is_regular_file(src) and _is_path(dst):
            _call(_lib.quorin_open_file(s.handle, options,
                                        path(cast(PathLike, src), "src"),
                                        path(cast(PathLike, dst), "dst")))
            return

        def work(source: BinaryIO, sink: BinaryIO) -> None:
            reader = _outputs.Source(source)
            writer = _outputs.Sink(sink)
            with _outputs.interruptible():
                _call(_lib.quorin_open_stream(s.handle, options, reader.function,
                                              None, writer.function, None), reader, writer)

        _through(src, dst, replace, work)


def sealed_header(path_or_file: Union[Source, BytesLike], *,
                  cost_limit: Optional[Tuple[int, int]] = None) -> SealedHeader:
    """What a sealed file's header says (mode, key size, the kinds of secret
    that open it, the passphrase's costs) without a secret: from a path (str
    or os.PathLike), a binary file object (read only as far as the header)
    or the bytes (a bytes-like object is always the file, or its armour)."""
    options = _open_options(cost_limit)
    info = _new_info()
    if isinstance(path_or_file, (bytes, bytearray, memoryview)):
        # Bytes are the file (or its armour); a path is a str or os.PathLike.
        raw = bytes(path_or_file)
        _call(_lib.quorin_sealed_info_buffer(raw, len(raw), options,
                                             info))
        return _header(info)

    def work(source: BinaryIO) -> None:
        reader = _outputs.Source(source)
        with _outputs.interruptible():
            _call(_lib.quorin_sealed_info_stream(reader.function, None, options,
                                                 info), reader)

    if _is_path(path_or_file):
        with builtins.open(path(cast(PathLike, path_or_file), "path_or_file"), "rb") as f:
            work(f)
    else:
        work(_binary_file(path_or_file, "path_or_file", False))
    return _header(info)


# The readers and writers still open, ended before the interpreter
# finalises: a library thread must not call into Python after that.
_open_objects: "weakref.WeakSet[Union[SealedReader, SealedWriter]]" = weakref.WeakSet()


def _ended_by_exception() -> bool:
    """Whether the program is ending through an uncaught exception."""
    return getattr(sys, "last_value", None) is not None or getattr(sys, "last_exc", None) is not None


@atexit.register
def _close_at_exit() -> None:
    for obj in list(_open_objects):
        if isinstance(obj, SealedWriter):
            obj._finish_unclosed(abandon=_ended_by_exception())
        else:
            obj._end_at_exit()


class SealedWriter(io.BufferedIOBase):
    """Seals what is written to it, in constant memory: open_sealed(..., "wb").
    close() writes the final chunk; leaving a ``with`` block by an exception
    abandons the file instead (a path is removed, a file object is left
    without its final chunk, which never opens), so that a failure half-way
    never passes for a complete file. A writer that is never closed is
    completed when it is collected or the program ends (with a
    ResourceWarning, as Python's files give), unless a write failed or the
    program ends through an exception: then it is abandoned. Calls from
    several threads take turns: close() waits for a write under way."""

    def __init__(self, dst: Source, secrets: _Secrets, options: Named, armour: bool,
                 replace: bool) -> None:
        self._handle: Optional[int] = None
        self._lock = threading.Lock()
        self._failed = False
        super().__init__()
        self._end = _Endpoint(dst, "file_or_path", True, replace)
        self._sink: Optional[_outputs.Sink] = None
        handle = ctypes.c_void_p()
        try:
            if self._end.atomic is not None:
                # A file of our own: the library writes it directly.
                status = _lib.quorin_seal_writer_new_fd(secrets.handle, options,
                                                        self._end.file.fileno(),
                                                        ctypes.byref(handle))
            else:
                self._sink = _outputs.Sink(self._end.file)
                status = _lib.quorin_seal_writer_new(secrets.handle, options,
                                                     self._sink.function, None,
                                                     ctypes.byref(handle))
            _call(status)
        except BaseException:
            self._end.done(False)
            raise
        self._handle = handle.value
        _open_objects.add(self)

    def writable(self) -> bool:
        return True

    def write(self, data: Any) -> int:  # a bytes-like object
        raw = data if isinstance(data, bytes) else bytes(memoryview(data))
        with self._lock:
            if self._handle is None:
                raise ValueError("I/O operation on closed file.")
            try:
                _call(_lib.quorin_seal_writer_write(self._handle, raw, len(raw)), self._sink)
            except BaseException:
                self._failed = True
                raise
        return len(raw)

    def _finish(self, ok: bool) -> None:
        with self._lock:
            handle, self._handle = self._handle, None
            if handle is None:
                return
            _open_objects.discard(self)
            ok = ok and not self._failed
            try:
                if ok:
                    _call(_lib.quorin_seal_writer_finish(handle), self._sink)
            except BaseException:
                ok = False
                raise
            finally:
                _lib.quorin_seal_writer_free(handle)
                self._end.done(ok)

    def close(self) -> None:
        """Writes the final chunk and closes (a path is moved into place)."""
        if not self.closed:
            try:
                self._finish(True)
            finally:
                super().close()

    def abandon(self) -> None:
        """Closes without the final chunk: the output will not open."""
        if not self.closed:
            try:
                self._finish(False)
            finally:
                super().close()

    def _finish_unclosed(self, abandon: bool) -> None:
        if getattr(self, "_handle", None) is None:
            return
        if abandon or self._failed:
            self.abandon()
            return
        self.close()  # first: a warning turned into an error must not lose the file
        warnings.warn("unclosed sealed writer %r: completed when it was collected or at exit; "
                      "close it (or use with)" % self, ResourceWarning, stacklevel=2, source=self)

    def __exit__(self, kind: Any, *rest: Any) -> None:
        if kind is None:
            self.close()
        else:
            self.abandon()

    def __del__(self) -> None:
        self._finish_unclosed(abandon=False)


class SealedReader(io.BufferedIOBase):
    """Opens a sealed file as it is read, in constant memory:
    open_sealed(..., "rb"). It gives only the plaintext of chunks whose tags
    matched; a bad chunk raises (AuthenticationError, TruncatedError, ...)
    once the verified bytes before it have been read. Calls from several
    threads take turns; close() also stops a read that waits on a pipe
    opened here by name."""

    _BUFFER = 1 << 16  # what one call of the library reads ahead, for readline and peek

    def __init__(self, src: Source, secrets: _Secrets, options: Named) -> None:
        self._handle: Optional[int] = None
        self._end: Optional[_Endpoint] = None
        self._closing = False
        self._lock = threading.Lock()
        self._ahead = bytearray()  # plaintext read from the library, not yet returned
        super().__init__()
        end = _Endpoint(src, "file_or_path", False)
        handle = ctypes.c_void_p()
        try:
            owned = end.owned
            if owned is not None and stat.S_ISREG(os.fstat(owned.fileno()).st_mode):
                # A file of our own: the library reads it directly.
                self._source: Optional[_outputs.Source] = None
                _call(_lib.quorin_open_reader_new_fd(secrets.handle, options,
                                                     owned.fileno(), ctypes.byref(handle)))
            else:
                self._source = _outputs.Source(end.file)
                with _outputs.interruptible():  # the header is read on this thread
                    _call(_lib.quorin_open_reader_new(secrets.handle, options,
                                                      self._source.function, None,
                                                      ctypes.byref(handle)), self._source)
        except BaseException:
            if handle.value:
                _lib.quorin_open_reader_free(handle.value)
            end.done(False)
            raise
        self._end = end
        self._handle = handle.value
        _open_objects.add(self)
        info = _new_info()
        check(_lib.quorin_open_reader_info(self._handle, info))
        #: What the file's header says.
        self.header = _header(info)

    def readable(self) -> bool:
        return True

    def _fill(self, into: memoryview) -> int:
        """Reads from the library into `into` (the lock held)."""
        if self._handle is None:
            raise ValueError("I/O operation on closed file.")
        array = (ctypes.c_ubyte * len(into)).from_buffer(into)
        got = ctypes.c_size_t(0)
        _call(_lib.quorin_open_reader_read(self._handle, ctypes.addressof(array), len(into),
                                           ctypes.byref(got)), self._source)
        return got.value

    def _read_ahead(self) -> None:
        """Fills the read-ahead buffer with one call (lock held; it is empty)."""
        buffer = bytearray(self._BUFFER)
        del buffer[self._fill(memoryview(buffer)):]
        self._ahead = buffer

    def _take(self, view: memoryview) -> int:
        """Up to len(view) bytes: what is read ahead, else one call (lock held)."""
        if not self._ahead:
            if len(view) >= self._BUFFER:
                return self._fill(view)
            self._read_ahead()
        n = min(len(view), len(self._ahead))
        view[:n] = self._ahead[:n]
        del self._ahead[:n]
        return n

    def readinto1(self, buffer: Any) -> int:
        view = memoryview(buffer).cast("B")
        if not view:
            return 0
        with self._lock:
            return self._take(view)

    def readinto(self, buffer: Any) -> int:
        view = memoryview(buffer).cast("B")
        total = 0
        with self._lock:
            while total < len(view):
                n = self._take(view[total:])
                if n == 0:
                    break
                total += n
        return total

    def peek(self, size: int = 0) -> bytes:
        with self._lock:
            if not self._ahead:
                self._read_ahead()
            return bytes(self._ahead)

    def read(self, size: Optional[int] = -1) -> bytes:
        if size is None or size < 0:
            # Gathered in a BytesIO, whose getvalue() hands over its buffer
            # without a copy: the whole plaintext is held once, not twice.
            whole = io.BytesIO()
            piece = bytearray(1 << 20)
            while True:
                n = self.readinto(piece)
                if not n:
                    return whole.getvalue()
                whole.write(memoryview(piece)[:n])
        out = bytearray(size)
        n = self.readinto(out)
        del out[n:]
        return bytes(out)

    def read1(self, size: int = -1) -> bytes:
        out = bytearray(size if size >= 0 else self._BUFFER)
        n = self.readinto1(out)
        del out[n:]
        return bytes(out)

    # How long a program's end waits for a read of the caller's file
    # object under way (a pipe may never give anything).
    _EXIT_PATIENCE = 1.0

    def _end_at_exit(self) -> None:
        """Ends the library's thread before the interpreter finalises: it
        reads ahead through the caller's file object, and must not call into
        Python once the interpreter is gone."""
        handle = self._handle
        if handle is None or self._closing:
            return
        _lib.quorin_open_reader_stop(handle)  # not under the lock: a read may hold it
        end, source = cast(_Endpoint, self._end), self._source
        if end.owned is not None or source is None or source.leave(self._EXIT_PATIENCE):
            # The thread calls into Python no more, or reads a file of ours,
            # which closing wakes: joined at once.
            self.close()
        else:
            # Its thread waits in the caller's read() (a pipe that stays
            # open): the reader, and the function the thread is inside, are
            # kept to the end of the process.
            ctypes.pythonapi.Py_IncRef(ctypes.py_object(self))

    def close(self) -> None:
        if self.closed or getattr(self, "_end", None) is None:
            return
        end = cast(_Endpoint, self._end)
        self._closing = True
        end.stop()  # a read waiting on a pipe of ours returns, so the lock comes free
        with self._lock:
            handle, self._handle = self._handle, None
            try:
                if handle is not None:
                    _open_objects.discard(self)
                    _lib.quorin_open_reader_free(handle)
            finally:
                self._ahead = bytearray()
                end.done(True)
                super().close()

    def __del__(self) -> None:
        if sys.is_finalizing():
            self._end_at_exit()
        else:
            self.close()


@overload
def open_sealed(file_or_path: Source, mode: Literal["rb"] = ..., *,
                passphrase: Union[str, BytesLike, None] = ...,
                key_file: Union[PathLike, BytesLike, None] = ...,
                identities: Union[Iterable[Union[Identity, str]], Identity, str] = ...,
                cost_limit: Optional[Tuple[int, int]] = ...) -> SealedReader: ...


@overload
def open_sealed(file_or_path: Source, mode: Literal["wb"], *,
                passphrase: Union[str, BytesLike, None] = ...,
                key_file: Union[PathLike, BytesLike, None] = ...,
                recipients: Union[Iterable[Union[Recipient, Identity, str]], Recipient, str] = ...,
                chaining: str = ..., key_size: int = ..., cost: Cost = ..., armour: bool = ...,
                replace: bool = ...) -> SealedWriter: ...


def open_sealed(file_or_path: Source, mode: str = "rb", *,
                passphrase: Union[str, BytesLike, None] = None,
                key_file: Union[PathLike, BytesLike, None] = None,
                identities: Union[Iterable[Union[Identity, str]], Identity, str] = (),
                recipients: Union[Iterable[Union[Recipient, Identity, str]], Recipient, str] = (),
                chaining: str = "cbc", key_size: int = 256, cost: Cost = "moderate",
                armour: bool = False, replace: bool = False,
                cost_limit: Optional[Tuple[int, int]] = None) -> io.BufferedIOBase:
    """A sealed file as a binary file object that streams in constant memory,
    as gzip.open does: "rb" opens (reads give only verified plaintext), "wb"
    seals what is written (close() writes the final chunk). file_or_path is
    a path (opened and closed here; "wb" moves it into place only on close)
    or a binary file object (left open). Usable with ``with`` and
    shutil.copyfileobj. chaining is the sealed file's mode ("cbc", "cfb",
    "ofb")."""
    choice(mode, ("rb", "wb"), "mode")
    if mode == "rb":
        if recipients != () or armour or replace:
            raise ValueError("recipients, armour and replace are for writing (mode 'wb')")
        with _Secrets(passphrase, key_file, identities) as s:
            return SealedReader(file_or_path, s, _open_options(cost_limit))
    if identities != () or cost_limit is not None:
        raise ValueError("identities and cost_limit are for reading (mode 'rb')")
    options = _seal_options(chaining, key_size, cost)
    with _Secrets(passphrase, key_file, recipients=recipients) as s:
        return SealedWriter(file_or_path, s, options, armour, replace)

