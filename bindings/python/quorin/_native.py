"""Loading libquorin-c and declaring its functions (ctypes; nothing to compile)."""

import ctypes
import ctypes.util
import os
from typing import Callable, List, Optional

_p = ctypes.c_void_p
_u8p = ctypes.POINTER(ctypes.c_uint8)
_sizep = ctypes.POINTER(ctypes.c_size_t)
_SIGNATURES = [
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
    ("quorin_encrypt_blocks", ctypes.c_int, [_p, _p, _p, ctypes.c_size_t]),
    ("quorin_decrypt_blocks", ctypes.c_int, [_p, _p, _p, ctypes.c_size_t]),
    ("quorin_encrypt_string", ctypes.c_int, [_p, ctypes.c_char_p, ctypes.c_size_t, _u8p, _sizep]),
    ("quorin_decrypt_string", ctypes.c_int, [_p, ctypes.c_char_p, ctypes.c_size_t, _u8p, _sizep]),
    ("quorin_encrypt_file", ctypes.c_int, [_p, ctypes.c_char_p, ctypes.c_char_p]),
    ("quorin_decrypt_file", ctypes.c_int, [_p, ctypes.c_char_p, ctypes.c_char_p]),
    ("quorin_mac", ctypes.c_int, [_p, _u8p]),
    ("quorin_encode", ctypes.c_int, [ctypes.c_char_p, ctypes.c_size_t, _u8p, _sizep]),
    ("quorin_decode", ctypes.c_int, [ctypes.c_char_p, ctypes.c_size_t, _u8p, _sizep]),
    ("quorin_encrypt_strings", ctypes.c_int,
     [_p, ctypes.c_char_p, _p, ctypes.c_size_t, ctypes.c_int, ctypes.c_char_p, _p, _sizep, _p, _p]),
    ("quorin_decrypt_strings", ctypes.c_int,
     [_p, ctypes.c_char_p, _p, ctypes.c_size_t, ctypes.c_int, ctypes.c_char_p, _p, _sizep, _p, _p]),
    ("quorin_last_error", ctypes.c_char_p, []),
    ("quorin_status_name", ctypes.c_char_p, [ctypes.c_int]),
]

# Sealed files: present when the library was built with them (it is here).
READ_FN = ctypes.CFUNCTYPE(ctypes.c_ssize_t, _p, _p, ctypes.c_size_t)
WRITE_FN = ctypes.CFUNCTYPE(ctypes.c_int, _p, _p, ctypes.c_size_t)


class Named:
    """Options, or a header's description, that the C library made and
    fills and reads by name (quorin_*_set/_get): nothing here depends on
    the structs' layout. Passed to the library as its pointer."""

    __slots__ = ("_as_parameter_", "_free")

    def __init__(self, pointer: Optional[int], free: Callable[[int], None]) -> None:
        if not pointer:
            raise MemoryError("the library could not make the options")
        self._as_parameter_ = pointer
        self._free = free

    def __del__(self) -> None:
        self._free(self._as_parameter_)


_SEALED_SIGNATURES = [
    ("quorin_secrets_new", _p, []),
    ("quorin_secrets_free", None, [_p]),
    ("quorin_secrets_add_passphrase", ctypes.c_int, [_p, ctypes.c_char_p, ctypes.c_size_t]),
    ("quorin_secrets_add_key_file", ctypes.c_int, [_p, ctypes.c_char_p, ctypes.c_size_t]),
    ("quorin_secrets_add_identity", ctypes.c_int, [_p, ctypes.c_char_p, ctypes.c_size_t]),
    ("quorin_secrets_add_recipient", ctypes.c_int, [_p, ctypes.c_char_p, ctypes.c_size_t]),
    ("quorin_secrets_add_identities", ctypes.c_int, [_p, ctypes.c_char_p, ctypes.c_size_t]),
    ("quorin_secrets_add_recipients", ctypes.c_int, [_p, ctypes.c_char_p, ctypes.c_size_t]),
    ("quorin_identity_new", ctypes.c_int, [_u8p, _sizep]),
    ("quorin_identity_recipient", ctypes.c_int, [ctypes.c_char_p, ctypes.c_size_t, _u8p, _sizep]),
    ("quorin_keygen", ctypes.c_int, [ctypes.c_char_p]),
    ("quorin_seal_options_new", _p, []),
    ("quorin_open_options_new", _p, []),
    ("quorin_sealed_info_new", _p, []),
    ("quorin_options_free", None, [_p]),
    ("quorin_seal_options_set", ctypes.c_int, [_p, ctypes.c_int, ctypes.c_uint64]),
    ("quorin_open_options_set", ctypes.c_int, [_p, ctypes.c_int, ctypes.c_uint64]),
    ("quorin_sealed_info_get", ctypes.c_int, [_p, ctypes.c_int, ctypes.POINTER(ctypes.c_uint64)]),
    ("quorin_seal_file", ctypes.c_int, [_p, _p, ctypes.c_char_p, ctypes.c_char_p]),
    ("quorin_open_file", ctypes.c_int, [_p, _p, ctypes.c_char_p, ctypes.c_char_p]),
    ("quorin_seal_stream", ctypes.c_int, [_p, _p, READ_FN, _p, WRITE_FN, _p]),
    ("quorin_open_stream", ctypes.c_int, [_p, _p, READ_FN, _p, WRITE_FN, _p]),
    ("quorin_seal_buffer", ctypes.c_int, [_p, _p, ctypes.c_char_p, ctypes.c_size_t, _u8p, _sizep]),
    ("quorin_open_buffer", ctypes.c_int, [_p, _p, ctypes.c_char_p, ctypes.c_size_t, _u8p, _sizep]),
    ("quorin_sealed_info_file", ctypes.c_int, [ctypes.c_char_p, _p, _p]),
    ("quorin_sealed_info_stream", ctypes.c_int, [READ_FN, _p, _p, _p]),
    ("quorin_sealed_info_buffer", ctypes.c_int, [ctypes.c_char_p, ctypes.c_size_t, _p, _p]),
    ("quorin_seal_writer_new", ctypes.c_int, [_p, _p, WRITE_FN, _p, ctypes.POINTER(_p)]),
    ("quorin_seal_writer_new_fd", ctypes.c_int, [_p, _p, ctypes.c_int, ctypes.POINTER(_p)]),
    ("quorin_seal_writer_write", ctypes.c_int, [_p, _p, ctypes.c_size_t]),
    ("quorin_seal_writer_finish", ctypes.c_int, [_p]),
    ("quorin_seal_writer_free", None, [_p]),
    ("quorin_open_reader_new", ctypes.c_int, [_p, _p, READ_FN, _p, ctypes.POINTER(_p)]),
    ("quorin_open_reader_new_fd", ctypes.c_int, [_p, _p, ctypes.c_int, ctypes.POINTER(_p)]),
    ("quorin_open_reader_info", ctypes.c_int, [_p, _p]),
    ("quorin_open_reader_read", ctypes.c_int, [_p, _p, ctypes.c_size_t, _sizep]),
    ("quorin_open_reader_stop", None, [_p]),
    ("quorin_open_reader_free", None, [_p]),
]
_SIGNATURES += _SEALED_SIGNATURES


def _bind(path: str) -> ctypes.CDLL:
    """Loads the library at path and declares its functions; ImportError
    when it cannot be loaded or is not libquorin-c."""
    try:
        lib = ctypes.CDLL(path)
    except OSError as e:
        raise ImportError("cannot load libquorin-c from %s: %s" % (path, e)) from None
    for name, result, args in _SIGNATURES:
        try:
            fn = getattr(lib, name)
        except AttributeError:
            raise ImportError("%s is not libquorin-c: it has no %s" % (path, name)) from None
        fn.restype, fn.argtypes = result, args
    return lib


def _load() -> ctypes.CDLL:
    """The C library: $QUORIN_C_LIBRARY if set (and then only that), else
    beside this installed package, else wherever the system's loader finds it."""
    chosen = os.environ.get("QUORIN_C_LIBRARY")
    if chosen:
        return _bind(chosen)
    candidates: List[str] = []
    try:
        from . import _location  # type: ignore[attr-defined]

        candidates.append(os.path.join(os.path.dirname(__file__), _location.LIBRARY))
    except ImportError:
        pass
    candidates.append(ctypes.util.find_library("quorin-c") or "libquorin-c.so.2")
    errors = []
    for path in candidates:
        try:
            return _bind(path)
        except ImportError as e:
            errors.append(str(e))
    raise ImportError("; ".join(errors))


lib = _load()


