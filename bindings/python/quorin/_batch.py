"""A column of values in one call: the records laid end to end for the C
library's batch functions, which run with the GIL released, and the results
split back into Python objects.

Nulls (None, or pandas' missing values) stay null and take no part: in a
chain they are skipped as if absent."""

import ctypes
import sys
from array import array
from concurrent.futures import ThreadPoolExecutor
from itertools import accumulate, compress
from typing import Any, Iterator, List, Optional, Sequence, Tuple, Union

from ._component import Quorin
from ._native import lib as _lib
from ._support import BytesLike
from .errors import QuorinError, check as _check

Value = Optional[Union[str, BytesLike]]

_OK = 0
_IV_RESTART, _IV_PER_RECORD, _IV_CHAIN = 0, 1, 2


class BatchError(QuorinError):
    """Records of a batch could not be decrypted (status -8, bad
    ciphertext). The batch ran to its end: ``statuses`` holds every record's
    status (0 for success) and ``results`` every result, None where one
    failed."""

    def __init__(self, statuses: List[int], results: List[Any]) -> None:
        failed = [i for i, s in enumerate(statuses) if s != _OK]
        super().__init__(statuses[failed[0]],
                         "%d of %d records cannot be decrypted, the first at index %d"
                         % (len(failed), len(statuses), failed[0]))
        self.statuses = statuses
        self.results = results


def _series_type() -> Any:
    """pandas.Series when pandas is loaded already (it is never imported here)."""
    pandas = sys.modules.get("pandas")
    return None if pandas is None else pandas.Series


def _present(values: Sequence[Any], series: Any) -> Optional[List[bool]]:
    """Which values are not null; None when all are."""
    if series is not None and isinstance(values, series):
        mask = (~values.isna()).tolist()
    else:
        if None not in values:
            return None
        mask = [v is not None for v in values]
    return None if all(mask) else mask


def _as_bytes(value: Any, encoding: str) -> bytes:
    if isinstance(value, str):
        return value.encode(encoding)
    if isinstance(value, (bytes, bytearray, memoryview)):
        return bytes(value)
    raise TypeError("values must be bytes or str, not %s" % type(value).__name__)


def _laid_out(items: Sequence[Any], encoding: str) -> Tuple[bytes, "array[int]"]:
    """The records end to end and their offsets (count + 1 of them)."""
    kinds = set(map(type, items))
    if kinds <= {bytes}:
        return b"".join(items), array("q", accumulate(map(len, items), initial=0))
    if kinds <= {str}:
        text = "".join(items)
        if text.isascii():  # then each str's length is its bytes'
            return text.encode("ascii"), array("q", accumulate(map(len, items), initial=0))
    encoded = [_as_bytes(v, encoding) for v in items]
    return b"".join(encoded), array("q", accumulate(map(len, encoded), initial=0))


def _ivs(iv: Optional[BytesLike], ivs: Optional[Sequence[BytesLike]], chain: bool, count: int,
         present: Optional[List[bool]]) -> Tuple[int, Optional[bytes]]:
    """The C library's IV use and its IVs, each checked to be 16 bytes."""
    if iv is not None and ivs is not None:
        raise ValueError("give iv or ivs, not both")
    if ivs is not None:
        if chain:
            raise ValueError("chain=True runs on from one iv; ivs gives one per record")
        listed = list(ivs)
        if len(listed) != count:
            raise ValueError("ivs has %d entries for %d values" % (len(listed), count))
        if present is not None:
            listed = list(compress(listed, present))
        joined = b"".join(_as_bytes(v, "ascii") for v in listed)
        if len(joined) != 16 * len(listed) or any(len(v) != 16 for v in listed):
            raise ValueError("every IV in ivs is 16 bytes")
        return _IV_PER_RECORD, joined
    if iv is None:
        return (_IV_CHAIN if chain else _IV_RESTART), None
    one = _as_bytes(iv, "ascii")
    if len(one) != 16:
        raise ValueError("iv is 16 bytes, not %d" % len(one))
    return (_IV_CHAIN if chain else _IV_RESTART), one


# Values per C call: each call's buffers stay small enough to stay in the
# processor's caches and to be reused by the allocator, not mapped afresh.
_PART = 1 << 15


class _Part:
    """One C call: its records laid out, then its output and statuses."""

    def __init__(self, encrypt: bool, armour: bool, items: Sequence[Any], iv_use: int,
                 ivs: Optional[bytes]) -> None:
        self.encrypt, self.armour, self.count = encrypt, armour, len(items)
        self.data, self.offsets = _laid_out(items, "utf-8" if encrypt else "ascii")
        self.iv_use, self.ivs = iv_use, ivs
        self.statuses = array("i", bytes(4 * self.count))
        self.out_offsets = array("q", bytes(8 * (self.count + 1)))
        self.out = bytearray(max(self._room(), 1))
        self.size = ctypes.c_size_t(len(self.out))

    def _room(self) -> int:
        """What the results may take: exact for encryption (padded to whole
        blocks, armoured at 4 characters for 3 bytes), and for decryption
        at most the input (3 bytes for 4 characters)."""
        if not self.encrypt:
            return len(self.data) if not self.armour else len(self.data) * 3 // 4
        padded = len(self.data) + 16 * self.count  # at most: each record gains 1 to 16
        return padded if not self.armour else (padded * 4 + 2 * self.count) // 3

    def call(self, q: Quorin) -> None:
        """The C library's work, one call with the GIL released: on any thread."""
        count = self.count
        call = _lib.quorin_encrypt_strings if self.encrypt else _lib.quorin_decrypt_strings
        _check(call(q._handle(), self.data,
                    (ctypes.c_int64 * (count + 1)).from_buffer(self.offsets), count, self.iv_use,
                    self.ivs, (ctypes.c_uint8 * len(self.out)).from_buffer(self.out),
                    ctypes.byref(self.size),
                    (ctypes.c_int64 * (count + 1)).from_buffer(self.out_offsets),
                    (ctypes.c_int32 * count).from_buffer(self.statuses)))

    def results(self) -> List[Any]:
        """The results as Python objects, None where a record failed; a
        decryption's buffer is wiped."""
        with memoryview(self.out) as view:
            raw = view[:self.size.value].tobytes()
        if not self.encrypt:
            n = len(self.out)
            ctypes.memset((ctypes.c_uint8 * n).from_buffer(self.out), 0, n)
        blob: Union[bytes, str] = raw.decode("ascii") if self.encrypt and self.armour else raw
        ends = self.out_offsets.tolist()
        results: List[Any] = [blob[a:b] for a, b in zip(ends, ends[1:])]
        if self.statuses.count(_OK) != self.count:
            results = [r if s == _OK else None for r, s in zip(results, self.statuses)]
        return results


def _pipelined(q: Quorin, parts: Iterator[_Part]) -> Iterator[_Part]:
    """Each part called in order on one thread while this one lays out the
    next part and makes the objects of the one before: the C library's work
    and the interpreter's overlap on two cores. With one part, no thread."""
    first = next(parts, None)
    if first is None:
        return
    second = next(parts, None)
    if second is None:
        first.call(q)
        yield first
        return
    with ThreadPoolExecutor(1, thread_name_prefix="quorin-batch") as pool:
        running = pool.submit(first.call, q)
        current: _Part = first
        following: Optional[_Part] = second
        while following is not None:
            running.result()
            running = pool.submit(following.call, q)
            yield current
            current, following = following, next(parts, None)
        running.result()
        yield current


def _run(encrypt: bool, values: Sequence[Value], key: BytesLike, iv: Optional[BytesLike],
         ivs: Optional[Sequence[BytesLike]], chain: bool, mode: str, key_size: int,
         string_mode: str, errors: str) -> Any:
    if errors not in ("raise", "none"):
        raise ValueError('errors must be "raise" or "none", not %r' % (errors,))
    series = _series_type()
    is_series = series is not None and isinstance(values, series)
    rows: Sequence[Any] = values if is_series or isinstance(values, list) else list(values)
    present = _present(rows, series)
    items: Sequence[Any] = values.tolist() if is_series else rows  # type: ignore[attr-defined]
    if present is not None:
        items = list(compress(items, present))
    iv_use, iv_bytes = _ivs(iv, ivs, chain, len(rows), present)

    def parts() -> Iterator[_Part]:
        for start in range(0, len(items), _PART):
            part = items[start:start + _PART]
            part_ivs = iv_bytes
            if iv_use == _IV_PER_RECORD and iv_bytes is not None:
                part_ivs = iv_bytes[16 * start:16 * (start + len(part))]
            elif iv_use == _IV_CHAIN and start > 0:
                part_ivs = None  # the chain runs on from the part before
            yield _Part(encrypt, string_mode == "encode", part, iv_use, part_ivs)

    results: List[Any] = []
    statuses = array("i")
    with Quorin(mode, key_size, string_mode) as q:
        q.initialise(key)
        for done in _pipelined(q, parts()):
            results += done.results()
            statuses += done.statuses
    failed = statuses.count(_OK) != len(statuses)
    if present is not None:
        spread: List[Any] = [None] * len(rows)
        for i, r in zip(compress(range(len(rows)), present), results):
            spread[i] = r
        results = spread
    if failed and errors == "raise":
        every = statuses.tolist()
        if present is not None:
            full = [_OK] * len(rows)
            for i, s in zip(compress(range(len(rows)), present), every):
                full[i] = s
            every = full
        raise BatchError(every, results)
    if is_series:
        return series(results, index=values.index, name=values.name,  # type: ignore[attr-defined]
                      dtype=object)
    return results


def encrypt_strings(values: Sequence[Value], key: BytesLike, iv: Optional[BytesLike] = None, *,
                    ivs: Optional[Sequence[BytesLike]] = None, chain: bool = False,
                    mode: str = "ecb", key_size: int = 128, string_mode: str = "encode") -> Any:
    """Encrypts every value as ``Quorin.encrypt_string`` would, in one call:
    armoured text (str) in string_mode "encode", raw bytes in "normal".

    values is any sequence of bytes or str (str is encoded as UTF-8), or a
    pandas Series (then a Series with the same index is returned; otherwise
    a list). Outside ECB every value starts from ``iv`` (16 bytes), so that
    each decrypts alone, as a stored column needs; ``ivs`` gives one IV per
    value instead; ``chain=True`` runs the chain on from value to value, as
    successive encrypt_string calls after one load_iv did. Nulls stay null.
    The GIL is released while the C library runs."""
    return _run(True, values, key, iv, ivs, chain, mode, key_size, string_mode, "raise")


def decrypt_strings(values: Sequence[Value], key: BytesLike, iv: Optional[BytesLike] = None, *,
                    ivs: Optional[Sequence[BytesLike]] = None, chain: bool = False,
                    mode: str = "ecb", key_size: int = 128, string_mode: str = "encode",
                    errors: str = "raise") -> Any:
    """Decrypts every value as ``Quorin.decrypt_string`` would, in one call,
    to bytes; the inverse of encrypt_strings, with the same arguments.

    A value that cannot be decrypted (not whole blocks) does not stop the
    batch: with errors="raise" a BatchError follows once all are done,
    carrying every status and result; with errors="none" its result is None.
    A wrong key or IV gives wrong bytes, not an error."""
    return _run(False, values, key, iv, ivs, chain, mode, key_size, string_mode, errors)
