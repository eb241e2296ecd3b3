"""The component: one TQuorin instance, its properties, blocks, strings,
files and streams; and the radix-64 armour alone."""

import ctypes
import os
import threading
from typing import BinaryIO, Callable, Optional, Union

from ._native import lib as _lib
from ._support import BytesLike, PathLike, bytes_ as _bytes, choice as _choice, fill as _fill
from ._support import path as _path, sized as _sized, write_all as _write_all
from .errors import QuorinError, check as _check

_MODES = ("ecb", "cbc", "cfb", "ofb")
_KEY_SIZES = (128, 192, 256)
_STRING_MODES = ("encode", "normal")

_CHUNK = 4096  # the component's stream chunk
_PIECE = 64 * _CHUNK  # what a stream takes from its source at a time
_BAD_CIPHERTEXT, _BAD_PADDING = -8, -9  # the component's status codes


class _Piece:
    """A piece of a stream and its address for the C library, allocated once
    a stream: room for a whole piece and one block of padding."""

    def __init__(self) -> None:
        self.data = bytearray(_PIECE + 16)
        self.view = memoryview(self.data)
        # Held, so that the bytearray stays exported (never resized) while in use.
        self._array = (ctypes.c_uint8 * len(self.data)).from_buffer(self.data)
        self.address = ctypes.addressof(self._array)


def version() -> str:
    """The package version of the C library, e.g. "1.11"."""
    text: bytes = _lib.quorin_version()
    return text.decode()


def encode(data: BytesLike) -> str:
    """The radix-64 armour of data (no encryption), as the component writes
    it: one line, no padding character."""
    raw = _bytes(data, "data")
    return _sized(_lib.quorin_encode, raw, len(raw)).decode("ascii")


def decode(text: Union[str, BytesLike]) -> bytes:
    """The bytes of radix-64 armour, as the component reads it: characters
    outside the alphabet (line breaks too) count as 0. The framed armour of
    ``quorin encrypt -a`` (BEGIN and END lines) is read by ``quorin decode``;
    here pass only the lines between the markers, joined."""
    raw = text.encode("ascii") if isinstance(text, str) else _bytes(text, "text")
    return _sized(_lib.quorin_decode, raw, len(raw))


class Quorin:
    """One instance of the component.

    The defaults are the component's: mode "ecb", key_size 128, string_mode
    "encode" (armoured text). ECB shows equal plaintext blocks as equal
    ciphertext blocks: for anything but single random blocks choose "cbc",
    "cfb" or "ofb", a 256-bit key and a fresh IV for every message.

    An instance may be shared between threads: each call holds the
    instance's lock, so calls run one after another and close() waits for a
    call in progress. (The C handle below must be used by one thread at a
    time; the lock sees to that.)"""

    def __init__(self, mode: str = "ecb", key_size: int = 128, string_mode: str = "encode") -> None:
        self._lock = threading.Lock()
        self._h: Optional[int] = _lib.quorin_new()
        if not self._h:
            raise MemoryError("quorin_new failed")
        self.mode = mode
        self.key_size = key_size
        self.string_mode = string_mode

    def _handle(self) -> int:
        """The C handle; the caller holds the lock."""
        if not self._h:
            raise ValueError("this Quorin instance is closed")
        return self._h

    # The three published properties.
    @property
    def mode(self) -> str:
        """The chaining mode: "ecb", "cbc", "cfb" or "ofb"."""
        with self._lock:
            return _MODES[_lib.quorin_get_mode(self._handle())]

    @mode.setter
    def mode(self, value: str) -> None:
        index = _choice(value, _MODES, "mode")
        with self._lock:
            _check(_lib.quorin_set_mode(self._handle(), index))

    @property
    def key_size(self) -> int:
        """The key size in bits: 128, 192 or 256. A key given to initialise
        is zero-extended or cut to it."""
        with self._lock:
            return int(_lib.quorin_get_key_size(self._handle()))

    @key_size.setter
    def key_size(self, value: int) -> None:
        index = _choice(value, _KEY_SIZES, "key_size")
        with self._lock:
            _check(_lib.quorin_set_key_size(self._handle(), _KEY_SIZES[index]))

    @property
    def string_mode(self) -> str:
        """How strings are encrypted: "encode" (armoured text) or "normal" (raw bytes)."""
        with self._lock:
            return _STRING_MODES[_lib.quorin_get_string_mode(self._handle())]

    @string_mode.setter
    def string_mode(self, value: str) -> None:
        index = _choice(value, _STRING_MODES, "string_mode")
        with self._lock:
            _check(_lib.quorin_set_string_mode(self._handle(), index))

    @property
    def version(self) -> str:
        """The package version of the C library, e.g. "1.11"."""
        return version()

    def initialise(self, key: BytesLike) -> None:
        """Keys the instance; the key is zero-extended or cut to key_size."""
        raw = _bytes(key, "key")
        with self._lock:
            _check(_lib.quorin_initialise(self._handle(), raw, len(raw)))

    def load_iv(self, iv: BytesLike) -> None:
        """Loads the IV and starts a new chain: 16 bytes (shorter is
        zero-extended, longer folded by XOR)."""
        raw = _bytes(iv, "iv")
        with self._lock:
            _check(_lib.quorin_load_iv(self._handle(), raw, len(raw)))

    def burn(self) -> None:
        """Wipes the key, the chain and the working block; the instance
        needs a key again."""
        with self._lock:
            if self._h:
                _lib.quorin_burn(self._h)

    def _block(self, call: Callable[..., int], block: BytesLike) -> bytes:
        raw = _bytes(block, "block")
        if len(raw) != 16:
            raise ValueError("a block is 16 bytes, not %d" % len(raw))
        out = (ctypes.c_uint8 * 16)()
        with self._lock:
            _check(call(self._handle(), raw, out))
        return bytes(out)

    def encrypt_block(self, block: BytesLike) -> bytes:
        """One 16-byte block, encrypted in the chosen mode (the chain runs on)."""
        return self._block(_lib.quorin_encrypt_block, block)

    def decrypt_block(self, block: BytesLike) -> bytes:
        """One 16-byte block, decrypted in the chosen mode (the chain runs on)."""
        return self._block(_lib.quorin_decrypt_block, block)

    def encrypt_string(self, data: BytesLike) -> bytes:
        """Padded encryption: armoured text as ASCII bytes (string_mode
        "encode") or raw bytes ("normal"). Holds about two more copies of
        the data's size while it runs."""
        raw = _bytes(data, "data")
        with self._lock:
            return _sized(_lib.quorin_encrypt_string, self._handle(), raw, len(raw))

    def decrypt_string(self, data: Union[str, BytesLike]) -> bytes:
        """The inverse of encrypt_string; data is armoured text (str or ASCII
        bytes, one line as encrypt_string writes it) in string_mode
        "encode", raw bytes in "normal". A wrong key or IV gives wrong bytes,
        not an error."""
        raw = data.encode("ascii") if isinstance(data, str) else _bytes(data, "data")
        with self._lock:
            return _sized(_lib.quorin_decrypt_string, self._handle(), raw, len(raw))

    def encrypt_file(self, src: PathLike, dst: PathLike) -> None:
        """Encrypts the file src into dst (created or truncated), as the
        component's EncryptFile; QuorinError -20 names the file and the cause."""
        names = (_path(src, "src"), _path(dst, "dst"))
        with self._lock:
            _check(_lib.quorin_encrypt_file(self._handle(), *names))

    def decrypt_file(self, src: PathLike, dst: PathLike) -> None:
        """Decrypts the file src into dst, as the component's DecryptFile."""
        names = (_path(src, "src"), _path(dst, "dst"))
        with self._lock:
            _check(_lib.quorin_decrypt_file(self._handle(), *names))

    def encrypt_stream(self, src: BinaryIO, dst: BinaryIO) -> None:
        """Encrypts everything src gives, to its end, into dst, byte for byte
        as the component's EncryptStream: the plaintext and its count-byte
        padding in the chosen mode, so the same bytes as encrypt_string in
        string_mode "normal" and encrypt_file. Memory stays at two pieces of
        256 KiB whatever the length; src may be a pipe. The chain runs on,
        as in every call: load the IV first for a new message."""
        with self._lock:
            handle = self._handle()
            _check(_lib.quorin_encrypt_blocks(handle, None, None, 0))  # key and IV, before reading
            piece, out = _Piece(), _Piece()
            while True:
                n = _fill(src, piece.view[:_PIECE])
                final = n < _PIECE
                if final:
                    pad = 16 - n % 16
                    piece.data[n:n + pad] = bytes([pad]) * pad
                    n += pad
                _check(_lib.quorin_encrypt_blocks(handle, piece.address, out.address, n))
                _write_all(dst, out.view[:n])
                if final:
                    return

    def decrypt_stream(self, src: BinaryIO, dst: BinaryIO) -> None:
        """The inverse of encrypt_stream, as the component's DecryptStream:
        the final 4096-byte chunk's last byte says how many bytes to drop.
        Ciphertext that is empty or not whole 16-byte blocks raises
        QuorinError -8, before anything is written when src can tell its size
        (seekable), else when its end is reached; a final byte larger than the
        final chunk raises -9. A wrong key or IV gives wrong bytes, not an
        error."""
        with self._lock:
            handle = self._handle()
            _check(_lib.quorin_decrypt_blocks(handle, None, None, 0))  # key and IV, before reading
            if src.seekable():
                here = src.tell()
                size = src.seek(0, os.SEEK_END) - here
                src.seek(here)
                if size <= 0 or size % 16:
                    raise QuorinError(_BAD_CIPHERTEXT, "the ciphertext is %d bytes, not a whole, "
                                      "non-zero number of 16-byte blocks" % max(size, 0))
            # One piece is read ahead: the final chunk is the one the input ends after.
            current, ahead, out = _Piece(), _Piece(), _Piece()
            n = _fill(src, current.view[:_PIECE])
            if n == 0:
                raise QuorinError(_BAD_CIPHERTEXT, "the ciphertext is empty")
            while True:
                more = _fill(src, ahead.view[:_PIECE]) if n == _PIECE else 0
                if more:
                    _check(_lib.quorin_decrypt_blocks(handle, current.address, out.address, n))
                    _write_all(dst, out.view[:n])
                    current, ahead, n = ahead, current, more
                    continue
                if n % 16:
                    raise QuorinError(_BAD_CIPHERTEXT, "the ciphertext ends in a partial block "
                                      "of %d bytes" % (n % 16))
                _check(_lib.quorin_decrypt_blocks(handle, current.address, out.address, n))
                # Pieces are whole chunks, so the final chunk ends this piece.
                final_chunk = n - (n - 1) // _CHUNK * _CHUNK
                drop = out.data[n - 1]
                if drop > final_chunk:
                    raise QuorinError(_BAD_PADDING, "the final decrypted byte (%d) exceeds the "
                                      "final chunk of %d bytes: wrong key, IV or mode, or damaged "
                                      "data" % (drop, final_chunk))
                _write_all(dst, out.view[:n - drop])
                return

    def mac(self) -> bytes:
        """The CBC-MAC (mode "cbc" only): the chaining register, 16 bytes."""
        out = (ctypes.c_uint8 * 16)()
        with self._lock:
            _check(_lib.quorin_mac(self._handle(), out))
        return bytes(out)

    def close(self) -> None:
        """Wipes and frees the instance (after a call in progress on another
        thread ends); it cannot be used afterwards."""
        with self._lock:
            if self._h:
                _lib.quorin_free(self._h)
                self._h = None

    def __enter__(self) -> "Quorin":
        return self

    def __exit__(self, *exc: object) -> None:
        self.burn()  # and lets any exception through

    def __del__(self) -> None:
        if getattr(self, "_h", None):
            self.close()

    def __repr__(self) -> str:
        with self._lock:
            if not self._h:
                return "Quorin(closed)"
            return "Quorin(mode=%r, key_size=%d, string_mode=%r)" % (
                _MODES[_lib.quorin_get_mode(self._h)], _lib.quorin_get_key_size(self._h),
                _STRING_MODES[_lib.quorin_get_string_mode(self._h)])
