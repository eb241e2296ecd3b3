"""Read and write TQuorin data from Python, and seal files.

The component: RC6-32/20 in ECB, CBC, CFB or OFB chaining with count-byte
padding, the radix-64 armour and the CBC-MAC, byte for byte as the C++
component writes them.

    import quorin
    with quorin.Quorin(mode="cbc", key_size=256) as q:
        q.initialise(key)
        q.load_iv(iv)
        text = q.encrypt_string(b"attack at dawn")   # armoured, as ASCII bytes

The chaining register runs on between calls, as in the component: call
load_iv again to start a new message. Leaving the ``with`` block burns the
key. Nothing of the component's formats is authenticated: a wrong key, IV
or mode, or altered data, decrypts to wrong bytes, usually without an error.

A column of stored values in one call (a list, or a pandas Series):

    texts = quorin.encrypt_strings(values, key, iv, mode="cbc")
    values = quorin.decrypt_strings(texts, key, iv, mode="cbc")

Sealed files: authenticated, for a passphrase, a key file or public-key
recipients, as ``quorin seal`` and ``quorin open`` write and read them.

    quorin.seal_file("notes.txt", "notes.txt.qsl", passphrase="correct horse")
    with quorin.open_sealed("notes.txt.qsl", passphrase="correct horse") as f:
        for line in f: ...

    me = quorin.generate_identity()             # keep str(me) secret
    sealed = quorin.seal(b"data", recipients=[me.recipient])
    assert quorin.open(sealed, identities=[me]) == b"data"

Failures raise QuorinError or one of its subclasses (AuthenticationError,
TruncatedError, NotSealedError, CostLimitError, ...), each with ``status``,
the C library's code. A thin layer over the C library libquorin-c (ctypes;
nothing to compile).
"""

from ._batch import BatchError, decrypt_strings, encrypt_strings
from ._component import Quorin, decode, encode, version
from ._native import lib as _lib
from ._sealed import (COSTS, Identity, Recipient, SealedHeader, SealedReader, SealedWriter,
                      generate_identity, keygen, open, open_file, open_sealed, seal, seal_file,
                      sealed_header)
from .errors import (AuthenticationError, BadArmourError, BadHeaderError, CostLimitError, FileError,
                     NotSealedError, QuorinError, SealedFileError, SecretKindError,
                     TruncatedError, UnsupportedVersionError)

__all__ = ["Quorin", "QuorinError", "encode", "decode", "version",
           "encrypt_strings", "decrypt_strings", "BatchError",
           "seal", "open", "seal_file", "open_file", "open_sealed", "sealed_header",
           "generate_identity", "keygen", "Identity", "Recipient", "SealedHeader",
           "SealedReader", "SealedWriter", "COSTS",
           "FileError", "SealedFileError", "NotSealedError", "UnsupportedVersionError",
           "BadHeaderError", "CostLimitError", "AuthenticationError", "TruncatedError",
           "SecretKindError", "BadArmourError"]
