#!/usr/bin/env python3
"""Sealing and opening 256 MiB through quorin.open_sealed with 64 KiB writes
and reads, against the C++ SealFile and OpenFile (reached through
quorin.seal_file and quorin.open_file between two paths, which call them
directly), in one run: the best of 5 timings each, taken in turn, and the ratios. A key
file, so that no passphrase hashing is timed. Run with PYTHONPATH set to
bindings/python and QUORIN_C_LIBRARY to the built libquorin-c; files go to
$TMPDIR (a RAM disk here)."""
import os
import tempfile
import time
from typing import Callable, List

import quorin

SIZE, PIECE = 256 << 20, 64 << 10
KEY = bytes(range(32))


def timed(work: Callable[[], None], tidy: Callable[[], None]) -> float:
    tidy()
    start = time.perf_counter()
    work()
    return time.perf_counter() - start


def best_of_pairs(a: Callable[[], float], b: Callable[[], float], runs: int = 5) -> List[float]:
    """The best times of a and b, run in turn, so that a busy moment of the
    machine falls on both alike."""
    times = [[a(), b()] for _ in range(runs)]
    return [min(t[0] for t in times), min(t[1] for t in times)]


def main() -> None:
    folder = tempfile.mkdtemp(prefix="quorin-python-bench-")
    plain, sealed, opened = (os.path.join(folder, n) for n in ("plain", "sealed", "opened"))
    with open(plain, "wb") as f:
        for _ in range(SIZE // (1 << 20)):
            f.write(os.urandom(1 << 20))

    def remove(*names: str) -> Callable[[], None]:
        return lambda: [os.unlink(n) for n in names if os.path.exists(n)] and None

    def stream_seal() -> None:
        with open(plain, "rb", buffering=0) as src, quorin.open_sealed(sealed, "wb",
                                                                         key_file=KEY) as out:
            while True:
                piece = src.read(PIECE)
                if not piece:
                    break
                out.write(piece)

    def stream_open() -> None:
        with quorin.open_sealed(sealed, key_file=KEY) as src, open(opened, "wb",
                                                                   buffering=0) as out:
            buffer = bytearray(PIECE)
            view = memoryview(buffer)
            while True:
                n = src.readinto(view)
                if not n:
                    break
                out.write(view[:n])
            os.fsync(out.fileno())  # as OpenFile does before the file takes its name

    results = {}
    results["seal, C++ SealFile"], results["seal, open_sealed 'wb'"] = best_of_pairs(
        lambda: timed(lambda: quorin.seal_file(plain, sealed, key_file=KEY), remove(sealed)),
        lambda: timed(stream_seal, remove(sealed)))
    results["open, C++ OpenFile"], results["open, open_sealed 'rb'"] = best_of_pairs(
        lambda: timed(lambda: quorin.open_file(sealed, opened, key_file=KEY), remove(opened)),
        lambda: timed(stream_open, remove(opened)))
    with open(plain, "rb") as a, open(opened, "rb") as b:
        assert a.read() == b.read(), "the opened file differs"
    for name, seconds in results.items():
        print("%-24s %7.3f s  %7.0f MiB/s" % (name, seconds, SIZE / seconds / (1 << 20)))
    for what in ("seal", "open"):
        cpp = results["%s, C++ %sFile" % (what, what.capitalize())]
        py = results["%s, open_sealed '%s'" % (what, "wb" if what == "seal" else "rb")]
        print("%s: open_sealed runs at %.0f%% of C++" % (what, 100 * cpp / py))
    remove(plain, sealed, opened)()
    os.rmdir(folder)


if __name__ == "__main__":
    main()
