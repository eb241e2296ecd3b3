#!/usr/bin/env python3
"""A column of 1 million armoured values (48-byte plaintexts, CBC, the IV
restarted for each) decrypted three ways in one run: a Python loop over
decrypt_string, quorin.decrypt_strings, and the C library's batch call
alone; the medians of 3 runs, and the ratios. Run with PYTHONPATH set to
bindings/python and QUORIN_C_LIBRARY to the built libquorin-c."""
import ctypes
import os
import statistics
import sys
import time
from array import array
from itertools import accumulate
from typing import Callable

import quorin
from quorin._native import lib

COUNT = int(sys.argv[1]) if len(sys.argv) > 1 else 1_000_000
KEY, IV = os.urandom(16), os.urandom(16)
plain = [os.urandom(48) for _ in range(COUNT)]
texts = quorin.encrypt_strings(plain, KEY, IV, mode="cbc")


def median(run: Callable[[], object]) -> float:
    times = []
    for _ in range(3):
        start = time.perf_counter()
        run()
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def python_loop() -> None:
    q = quorin.Quorin("cbc")
    q.initialise(KEY)
    for text in texts:
        q.load_iv(IV)
        q.decrypt_string(text)


q = quorin.Quorin("cbc")
q.initialise(KEY)
data = "".join(texts).encode("ascii")
offsets = array("q", accumulate(map(len, texts), initial=0))
statuses = array("i", bytes(4 * COUNT))
out_offsets = array("q", bytes(8 * (COUNT + 1)))
out = bytearray(len(data))
size = ctypes.c_size_t(len(out))
c_args = (q._handle(), data, (ctypes.c_int64 * (COUNT + 1)).from_buffer(offsets), COUNT, 0, IV,
          (ctypes.c_uint8 * len(out)).from_buffer(out), ctypes.byref(size),
          (ctypes.c_int64 * (COUNT + 1)).from_buffer(out_offsets),
          (ctypes.c_int32 * COUNT).from_buffer(statuses))


def c_batch() -> None:
    size.value = len(out)
    assert lib.quorin_decrypt_strings(*c_args) == 0


assert quorin.decrypt_strings(texts, KEY, IV, mode="cbc") == plain
loop = median(python_loop)
batch = median(lambda: quorin.decrypt_strings(texts, KEY, IV, mode="cbc"))
c = median(c_batch)
print("python loop over decrypt_string: %.3f s (%.0f ns a value)" % (loop, loop / COUNT * 1e9))
print("quorin.decrypt_strings:          %.3f s (%.0f ns a value)" % (batch, batch / COUNT * 1e9))
print("C batch call:                    %.3f s (%.0f ns a value)" % (c, c / COUNT * 1e9))
print("batch / loop: %.1fx; batch speed / C speed: %.2f" % (loop / batch, c / batch))
