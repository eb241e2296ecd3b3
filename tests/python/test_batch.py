"""A column in one call against the per-value calls it stands for: every
result equals loading the IV and calling encrypt_string or decrypt_string
on that value alone (or after the one before it, in a chain)."""

import itertools
from typing import Any, List, Optional, Sequence

import pytest

import quorin

KEY = bytes(range(32))
IV = bytes(range(100, 116))
LENGTHS = [0, 1, 15, 16, 17, 31, 32, 33, 47, 48, 49, 100]


def values_of(kind: str) -> List[Any]:
    raw = [bytes((7 * n + i) % 256 for i in range(n)) for n in LENGTHS]
    if kind == "str":
        return ["é" * (n // 2) + "x" * (n % 2) for n in LENGTHS]
    if kind == "mixed":
        return [bytearray(v) if i % 3 == 0 else memoryview(v) if i % 3 == 1 else v
                for i, v in enumerate(raw)]
    return raw


def one_by_one(encrypt: bool, values: Sequence[Any], mode: str, string_mode: str, ivs: List[bytes],
               chain: bool) -> List[Optional[Any]]:
    q = quorin.Quorin(mode, 256, string_mode)
    q.initialise(KEY)
    out: List[Optional[Any]] = []
    for i, v in enumerate(values):
        if v is None:
            out.append(None)
            continue
        if not chain or i == 0:
            q.load_iv(ivs[i])
        data = v.encode() if isinstance(v, str) and encrypt else v
        r = q.encrypt_string(data) if encrypt else q.decrypt_string(data)
        out.append(r.decode("ascii") if encrypt and string_mode == "encode" else r)
    return out


@pytest.mark.parametrize("mode,string_mode,iv_use,kind,part", itertools.product(
    ("ecb", "cbc", "cfb", "ofb"), ("encode", "normal"), ("restart", "per value", "chain"),
    ("bytes", "str", "mixed"), (1 << 15, 5)))
def test_batches_equal_the_per_value_calls(mode: str, string_mode: str, iv_use: str, kind: str,
                                           part: int, monkeypatch: pytest.MonkeyPatch) -> None:
    monkeypatch.setattr("quorin._batch._PART", part)  # one C call, or several
    values: List[Any] = values_of(kind)
    values.insert(3, None)
    ivs = [bytes([i]) * 16 for i in range(len(values))] if iv_use == "per value" else \
        [IV] * len(values)
    chain = iv_use == "chain"
    args: Any = dict(mode=mode, key_size=256, string_mode=string_mode, chain=chain)
    if iv_use == "per value":
        args["ivs"] = ivs
    else:
        args["iv"] = IV

    texts = quorin.encrypt_strings(values, KEY, **args)
    assert texts == one_by_one(True, values, mode, string_mode, ivs, chain)
    assert texts[3] is None

    opened = quorin.decrypt_strings(texts, KEY, **args)
    assert opened == [v.encode() if isinstance(v, str) else None if v is None else bytes(v)
                      for v in values]
    assert opened == one_by_one(False, texts, mode, string_mode, ivs, chain)


@pytest.mark.parametrize("string_mode,bad", [("encode", ["", "A", "ABCDE"]),
                                             ("normal", [b"", b"x" * 17, b"y"])])
def test_undecryptable_values_fail_alone(string_mode: str, bad: List[Any]) -> None:
    good = quorin.encrypt_strings([b"first", b"second"], KEY, IV, mode="cbc",
                                  string_mode=string_mode)
    column = [good[0], *bad, good[1]]
    with pytest.raises(quorin.BatchError) as caught:
        quorin.decrypt_strings(column, KEY, IV, mode="cbc", string_mode=string_mode)
    assert caught.value.status == -8
    assert caught.value.statuses == [0, -8, -8, -8, 0]
    assert caught.value.results == [b"first", None, None, None, b"second"]
    assert quorin.decrypt_strings(column, KEY, IV, mode="cbc", string_mode=string_mode,
                                  errors="none") == [b"first", None, None, None, b"second"]


@pytest.mark.parametrize("call,args,error", [
    (quorin.encrypt_strings, dict(iv=b"short"), ValueError),
    (quorin.encrypt_strings, dict(iv=IV, ivs=[IV]), ValueError),
    (quorin.encrypt_strings, dict(ivs=[IV]), ValueError),  # one IV for two values
    (quorin.encrypt_strings, dict(ivs=[IV, b"short"]), ValueError),
    (quorin.encrypt_strings, dict(ivs=[IV, IV], chain=True), ValueError),
    (quorin.decrypt_strings, dict(iv=IV, errors="ignore"), ValueError),
    (quorin.encrypt_strings, dict(mode="ctr", iv=IV), ValueError),
    (quorin.encrypt_strings, dict(), quorin.QuorinError),  # CBC restarts from no IV
])
def test_refusals(call: Any, args: Any, error: type) -> None:
    with pytest.raises(error):
        call([b"a", b"b"], KEY, **{"mode": "cbc", **args})


def test_values_of_other_types_are_refused() -> None:
    with pytest.raises(TypeError):
        quorin.encrypt_strings([b"a", 3], KEY)


def test_a_pandas_series_gives_a_series_with_its_index() -> None:
    pandas = pytest.importorskip("pandas")
    column = pandas.Series(["alpha", None, "gamma", float("nan")], index=[10, 20, 30, 40],
                           name="secret")
    texts = quorin.encrypt_strings(column, KEY, IV, mode="cfb")
    assert isinstance(texts, pandas.Series)
    assert list(texts.index) == [10, 20, 30, 40] and texts.name == "secret"
    assert texts[20] is None and texts[40] is None
    assert texts[10] == quorin.encrypt_strings([b"alpha"], KEY, IV, mode="cfb")[0]
    opened = quorin.decrypt_strings(texts, KEY, IV, mode="cfb")
    assert opened.tolist() == [b"alpha", None, b"gamma", None]
