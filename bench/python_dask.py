#!/usr/bin/env python3
"""A column of 2 million armoured values (48-byte plaintexts, CBC, the IV
restarted for each) decrypted by quorin.dask.decrypt_column on a local
cluster of one worker process, then of two, in one run: the ciphertext is
on the workers first (persisted), and the result stays there; the medians
of 3 runs and the ratio. Run with PYTHONPATH set to bindings/python and
QUORIN_C_LIBRARY to the built libquorin-c."""
import os
import statistics
import sys
import tempfile
import time

import dask.dataframe as dd
import distributed
import pandas

import quorin
import quorin.dask

ROWS = int(sys.argv[1]) if len(sys.argv) > 1 else 2_000_000
PARTITIONS = 16
KEY, IV = os.urandom(16), os.urandom(16)


def texts_of(part: int) -> pandas.DataFrame:
    plain = [os.urandom(48) for _ in range(ROWS // PARTITIONS)]
    return pandas.DataFrame({"secret": quorin.encrypt_strings(plain, KEY, IV, mode="cbc")})


def timed(workers: int, key_file: str) -> float:
    with distributed.LocalCluster(n_workers=workers, threads_per_worker=1, processes=True,
                                  dashboard_address=None) as cluster, \
            distributed.Client(cluster) as client:
        frame = client.persist(dd.from_map(texts_of, range(PARTITIONS)))
        distributed.wait(frame)
        times = []
        for run in range(3):
            # A column of another name each time: a graph of its own, not
            # the result of the run before.
            column = "secret%d" % run
            renamed = frame.rename(columns={"secret": column})
            start = time.perf_counter()
            opened = client.persist(quorin.dask.decrypt_column(renamed, column, key_file=key_file,
                                                               iv=IV, mode="cbc"))
            distributed.wait(opened)
            times.append(time.perf_counter() - start)
            del opened
        return statistics.median(times)


if __name__ == "__main__":
    with tempfile.NamedTemporaryFile() as key_file:
        key_file.write(KEY)
        key_file.flush()
        one, two = timed(1, key_file.name), timed(2, key_file.name)
    print("one worker:  %.3f s (%.0f ns a value)" % (one, one / ROWS * 1e9))
    print("two workers: %.3f s (%.0f ns a value)" % (two, two / ROWS * 1e9))
    print("two workers / one: %.2fx" % (one / two))
