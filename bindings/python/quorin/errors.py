"""The exceptions: one hierarchy under QuorinError, each with the C
library's status code, mirroring the C++ library's."""

from typing import Dict, Type

from ._native import lib


class QuorinError(Exception):
    """A refused or failed operation. ``status`` is the component's status
    code (-1 no key, -4 no IV, -8 bad ciphertext, ...), the C interface's
    own (-20 I/O error, -21 invalid argument) or a sealed file's (-30 ..);
    ``code`` its symbolic name ("QUORIN_AUTHENTICATION"), as JavaScript's
    errors carry it (``name`` is the same, kept for older callers)."""

    def __init__(self, status: int, message: str) -> None:
        super().__init__(message)
        self.status = status
        self.code: str = lib.quorin_status_name(status).decode()
        self.name: str = self.code

    def __str__(self) -> str:
        return "%s (%s, %d)" % (self.args[0], self.code, self.status)


class FileError(QuorinError):
    """A file could not be opened, read, written, closed or moved into place
    (status -20); the message names the file and the cause."""


class SealedFileError(QuorinError):
    """The base of the failures particular to sealed files."""


class NotSealedError(SealedFileError):
    """The input does not start as a sealed file does (status -30)."""


class BadArmourError(SealedFileError):
    """The input is armoured text (it has a BEGIN line) that was cut short
    or altered (status -37)."""


class UnsupportedVersionError(SealedFileError):
    """The file's format version is not one this library reads (status -31)."""


class BadHeaderError(SealedFileError):
    """A header field holds a value no sealer writes (status -32)."""


class CostLimitError(BadHeaderError):
    """The header asks for more passphrase work or memory than the limits
    allow; refused before anything is allocated for it (status -33)."""


class AuthenticationError(SealedFileError):
    """The secret does not open the file, or the file was altered: a tag
    cannot tell which (status -34). Nothing of the failing chunk was
    released."""


class TruncatedError(SealedFileError):
    """The input ends before the sealed data does (status -35)."""


class SecretKindError(SealedFileError):
    """No secret of a kind the file was sealed for was given: a passphrase
    where it needs a key file, say (status -36)."""


_CLASSES: Dict[int, Type[QuorinError]] = {
    -20: FileError, -30: NotSealedError, -31: UnsupportedVersionError, -32: BadHeaderError,
    -33: CostLimitError, -34: AuthenticationError, -35: TruncatedError, -36: SecretKindError,
    -37: BadArmourError,
}


def error_for(status: int) -> QuorinError:
    """The exception for a failed call's status, with the thread's message."""
    message = lib.quorin_last_error().decode(errors="replace")
    return _CLASSES.get(status, QuorinError)(status, message)


def check(status: int) -> None:
    if status != 0:
        raise error_for(status)
