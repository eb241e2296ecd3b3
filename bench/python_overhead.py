#!/usr/bin/env python3
"""Per-call time of the Python package for a 16-byte block and a 1 MiB
string (raw, CBC): the medians of 7 timing runs. Run with PYTHONPATH set to
bindings/python and QUORIN_C_LIBRARY to the built libquorin-c."""
import statistics
import timeit

import quorin

q = quorin.Quorin(mode="cbc", key_size=128, string_mode="normal")
q.initialise(b"a benchmark key, thirty-two byte")
q.load_iv(b"a benchmark iv!!")
block, plain = bytes(16), b"p" * (1 << 20)
for name, call, number in [("block16", lambda: q.encrypt_block(block), 100000),
                           ("string1MiB", lambda: q.encrypt_string(plain), 100)]:
    runs = timeit.repeat(call, number=number, repeat=7)
    print("python/%s: %.3f us per call" % (name, statistics.median(runs) / number * 1e6))
