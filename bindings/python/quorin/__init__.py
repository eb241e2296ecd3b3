"""Read and write TQuorin data from Python: RC6-32/20 in ECB, CBC, CFB or
OFB chaining with count-byte padding, the radix-64 armour and the CBC-MAC,
byte for byte as the C++ component writes them.

    import quorin
    with quorin.Quorin(mode="cbc", key_size=256) as q:
        q.initialise(key)
        q.load_iv(iv)
        text = q.encrypt_string(b"attack at dawn")   # armoured, as ASCII bytes

The chaining register runs on between calls, as in the component: call
load_iv again to start a new message. Leaving the ``with`` block burns the
key. Failures raise QuorinError with the component's status code.

A thin layer over the C library libquorin-c (ctypes; nothing to compile).
"""

import ctypes
import ctypes.util
import os

__all__ = ["Quorin", "QuorinError", "encode", "decode", "version"]

_MODES = ("ecb", "cbc", "cfb", "ofb")
_KEY_SIZES = (128, 192, 256)
_STRING_MODES = ("encode", "normal")
_BUFFER_TOO_SMALL = -22


def _load():
    """The C library: $QUORIN_C_LIBRARY, else beside this installed package,
    else wherever the system's loader finds it."""
    candidates = []
    if os.environ.get("QUORIN_C_LIBRARY"):
        candidates.append(os.environ["QUORIN_C_LIBRARY"])
    try:
        from . import _location

        candidates.append(os.path.join(os.path.dirname(__file__), _location.LIBRARY))
    except ImportError:
        pass
    candidates.append(ctypes.util.find_library("quorin-c") or "libquorin-c.so.1")
    errors = []
    for path in candidates:
        try:
            return ctypes.CDLL(path)
        except OSError as e:
            errors.append(str(e))
    raise ImportError("cannot load libquorin-c: " + "; ".join(errors))


_lib = _load()
_p = ctypes.c_void_p
_u8p = ctypes.POINTER(ctypes.c_uint8)
_sizep = ctypes.POINTER(ctypes.c_size_t)
for _name, _res, _args in [
    ("quorin_new", _p, []),
    ("quorin_free", None, [_p]),
    ("quorin_set_mode", ctypes.c_int, [_p, ctypes.c_int]),
    ("quorin_get_mode", ctypes.c_int, [_p]),
    ("quorin_set_key_size", ctypes.c_int, [_p, ctypes.c_int]),
    ("quorin_get_key_size", ctypes.c_int, [_p]),
    ("quorin_set_string_mode", ctypes.c_int, [_p, ctypes.c_int]),
    ("quorin_get_string_mode", ctypes.c_int, [_p]),
    ("quorin_initialise", ctypes.c_int, [_p, ctypes.c_char_p, ctypes.c_size_t]),
    ("quorin_load_iv", ctypes.c_int, [_p, ctypes.c_char_p, ctypes.c_size_t]),
    ("quorin_burn", None, [_p]),
    ("quorin_version", ctypes.c_char_p, []),
    ("quorin_encrypt_block", ctypes.c_int, [_p, ctypes.c_char_p, _u8p]),
    ("quorin_decrypt_block", ctypes.c_int, [_p, ctypes.c_char_p, _u8p]),
    ("quorin_encrypt_string", ctypes.c_int, [_p, ctypes.c_char_p, ctypes.c_size_t, _u8p, _sizep]),
    ("quorin_decrypt_string", ctypes.c_int, [_p, ctypes.c_char_p, ctypes.c_size_t, _u8p, _sizep]),
    ("quorin_encrypt_file", ctypes.c_int, [_p, ctypes.c_char_p, ctypes.c_char_p]),
    ("quorin_decrypt_file", ctypes.c_int, [_p, ctypes.c_char_p, ctypes.c_char_p]),
    ("quorin_mac", ctypes.c_int, [_p, _u8p]),
    ("quorin_encode", ctypes.c_int, [ctypes.c_char_p, ctypes.c_size_t, _u8p, _sizep]),
    ("quorin_decode", ctypes.c_int, [ctypes.c_char_p, ctypes.c_size_t, _u8p, _sizep]),
    ("quorin_last_error", ctypes.c_char_p, []),
    ("quorin_status_name", ctypes.c_char_p, [ctypes.c_int]),
]:
    _fn = getattr(_lib, _name)
    _fn.restype, _fn.argtypes = _res, _args


class QuorinError(Exception):
    """A refused or failed operation. ``status`` is the component's status
    code (-1 no key, -4 no IV, -8 bad ciphertext, ...) or the C interface's
    own (-20 I/O error, -21 invalid argument); ``name`` its symbolic name."""

    def __init__(self, status, message):
        super().__init__(message)
        self.status = status
        self.name = _lib.quorin_status_name(status).decode()

    def __str__(self):
        return "%s (%s, %d)" % (self.args[0], self.name, self.status)


def _check(status):
    if status != 0:
        raise QuorinError(status, _lib.quorin_last_error().decode(errors="replace"))


def _bytes(value, what):
    if isinstance(value, (bytes, bytearray, memoryview)):
        return bytes(value)
    raise TypeError("%s must be bytes, not %s" % (what, type(value).__name__))


def _sized(call, *args):
    """Runs a C call with the size-query convention: learn the size, then fill."""
    size = ctypes.c_size_t(0)
    _check(call(*args, None, ctypes.byref(size)))
    out = (ctypes.c_uint8 * max(size.value, 1))()
    _check(call(*args, out, ctypes.byref(size)))
    return ctypes.string_at(out, size.value)


def version():
    """The package version of the C library, e.g. "1.11"."""
    return _lib.quorin_version().decode()


def encode(data):
    """The radix-64 armour of data (no encryption)."""
    data = _bytes(data, "data")
    return _sized(_lib.quorin_encode, data, len(data)).decode("ascii")


def decode(text):
    """The bytes of radix-64 armour; characters outside the alphabet count as 0."""
    raw = text.encode("ascii") if isinstance(text, str) else _bytes(text, "text")
    return _sized(_lib.quorin_decode, raw, len(raw))


class Quorin:
    """One instance of the component, with the component's defaults."""

    def __init__(self, mode="ecb", key_size=128, string_mode="encode"):
        self._h = _lib.quorin_new()
        if not self._h:
            raise MemoryError("quorin_new failed")
        self.mode = mode
        self.key_size = key_size
        self.string_mode = string_mode

    def _handle(self):
        if not self._h:
            raise ValueError("this Quorin instance is closed")
        return self._h

    # The three published properties.
    @property
    def mode(self):
        return _MODES[_lib.quorin_get_mode(self._handle())]

    @mode.setter
    def mode(self, value):
        if value not in _MODES:
            raise ValueError("mode must be one of %s, not %r" % (", ".join(_MODES), value))
        _check(_lib.quorin_set_mode(self._handle(), _MODES.index(value)))

    @property
    def key_size(self):
        return _KEY_SIZES[_lib.quorin_get_key_size(self._handle())]

    @key_size.setter
    def key_size(self, value):
        if value not in _KEY_SIZES:
            raise ValueError("key_size must be 128, 192 or 256, not %r" % (value,))
        _check(_lib.quorin_set_key_size(self._handle(), _KEY_SIZES.index(value)))

    @property
    def string_mode(self):
        return _STRING_MODES[_lib.quorin_get_string_mode(self._handle())]

    @string_mode.setter
    def string_mode(self, value):
        if value not in _STRING_MODES:
            raise ValueError("string_mode must be 'encode' or 'normal', not %r" % (value,))
        _check(_lib.quorin_set_string_mode(self._handle(), _STRING_MODES.index(value)))

    @property
    def version(self):
        return version()

    def initialise(self, key):
        """Keys the instance; the key is zero-extended or cut to key_size."""
        key = _bytes(key, "key")
        _check(_lib.quorin_initialise(self._handle(), key, len(key)))

    def load_iv(self, iv):
        """Loads the IV: 16 bytes (shorter is zero-extended, longer folded by XOR)."""
        iv = _bytes(iv, "iv")
        _check(_lib.quorin_load_iv(self._handle(), iv, len(iv)))

    def burn(self):
        """Wipes the key, the chain and the working block."""
        if self._h:
            _lib.quorin_burn(self._h)

    def _block(self, call, block):
        block = _bytes(block, "block")
        if len(block) != 16:
            raise ValueError("a block is 16 bytes, not %d" % len(block))
        out = (ctypes.c_uint8 * 16)()
        _check(call(self._handle(), block, out))
        return bytes(out)

    def encrypt_block(self, block):
        return self._block(_lib.quorin_encrypt_block, block)

    def decrypt_block(self, block):
        return self._block(_lib.quorin_decrypt_block, block)

    def encrypt_string(self, data):
        """Padded encryption: armoured text as ASCII bytes (string_mode
        "encode") or raw bytes ("normal")."""
        data = _bytes(data, "data")
        return _sized(_lib.quorin_encrypt_string, self._handle(), data, len(data))

    def decrypt_string(self, data):
        """The inverse of encrypt_string; data is armoured text (str or ASCII
        bytes) in string_mode "encode", raw bytes in "normal"."""
        if isinstance(data, str):
            data = data.encode("ascii")
        data = _bytes(data, "data")
        return _sized(_lib.quorin_decrypt_string, self._handle(), data, len(data))

    def encrypt_file(self, src, dst):
        _check(_lib.quorin_encrypt_file(self._handle(), os.fsencode(src), os.fsencode(dst)))

    def decrypt_file(self, src, dst):
        _check(_lib.quorin_decrypt_file(self._handle(), os.fsencode(src), os.fsencode(dst)))

    def mac(self):
        """The CBC-MAC (mode "cbc" only): the chaining register, 16 bytes."""
        out = (ctypes.c_uint8 * 16)()
        _check(_lib.quorin_mac(self._handle(), out))
        return bytes(out)

    def close(self):
        """Wipes and frees the instance; it cannot be used afterwards."""
        if self._h:
            _lib.quorin_free(self._h)
            self._h = None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.burn()
        return False

    def __del__(self):
        if getattr(self, "_h", None):
            self.close()

    def __repr__(self):
        state = "closed" if not self._h else "mode=%r, key_size=%d, string_mode=%r" % (
            self.mode, self.key_size, self.string_mode)
        return "Quorin(%s)" % state
