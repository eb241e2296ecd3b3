#!/usr/bin/env python3
"""SQL over 1 million rows of 48-byte values, in one run on a server of its
own: SELECT sum(length(...)) decrypting every row with the extension (the
armoured column, and the raw one) beside pgcrypto's decrypt_iv with
AES-128-CBC on the same plaintexts; parallel workers as many as cores.
The medians of 3 runs, and the ratios.

Usage: bench/postgresql.py EXTENSION_DIR LIBRARY_DIR [ROWS]"""
import os
import statistics
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests" / "postgresql"))
from pg_server import Server  # noqa: E402

ROWS = int(sys.argv[3]) if len(sys.argv) > 3 else 1_000_000
WORKERS = os.cpu_count() or 2
KEY = "'\\x000102030405060708090a0b0c0d0e0f'::bytea"
IV = "'\\x0f0e0d0c0b0a09080706050403020100'::bytea"
SETTINGS = {"max_worker_processes": str(WORKERS + 2), "max_parallel_workers": str(WORKERS),
            "max_parallel_workers_per_gather": str(WORKERS), "shared_buffers": "'512MB'",
            "jit": "off"}
QUERIES = {
    "quorin_decrypt_text (armoured)":
        f"SELECT sum(length(quorin_decrypt_text(armoured, {KEY}, {IV}, 'cbc', 128))) FROM t",
    "quorin_decrypt (raw)":
        f"SELECT sum(length(quorin_decrypt(raw, {KEY}, {IV}, 'cbc', 128))) FROM t",
    "pgcrypto decrypt_iv (AES-128-CBC)":
        f"SELECT sum(length(decrypt_iv(aes, {KEY}, {IV}, 'aes-cbc'))) FROM t",
}


def timed(server: Server, sql: str) -> float:
    times = []
    for _ in range(3):
        start = time.perf_counter()
        server.psql(sql, "bench")
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def main() -> None:
    with Server(Path(sys.argv[1]).resolve(), Path(sys.argv[2]).resolve(), SETTINGS) as server:
        server.psql("CREATE DATABASE bench")
        server.psql("CREATE EXTENSION quorin; CREATE EXTENSION pgcrypto", "bench")
        server.psql(
            "CREATE TABLE t AS SELECT quorin_encrypt_text(p, {k}, {iv}, 'cbc', 128) AS armoured, "
            "quorin_encrypt(p, {k}, {iv}, 'cbc', 128) AS raw, "
            "encrypt_iv(p, {k}, {iv}, 'aes-cbc') AS aes "
            "FROM (SELECT gen_random_bytes(48) AS p FROM generate_series(1, {n})) s"
            .format(k=KEY, iv=IV, n=ROWS), "bench")
        server.psql("VACUUM ANALYZE t", "bench")
        plan = server.psql("EXPLAIN " + QUERIES["quorin_decrypt (raw)"], "bench")
        workers = [line.strip() for line in plan.splitlines() if "Workers Planned" in line]
        print(f"{ROWS} rows, {workers[0] if workers else 'no parallel plan'}")
        results = {name: timed(server, sql) for name, sql in QUERIES.items()}
        base = results["pgcrypto decrypt_iv (AES-128-CBC)"]
        for name, seconds in results.items():
            print(f"{name:36} {seconds:6.3f} s   {base / seconds:5.2f}x pgcrypto")


if __name__ == "__main__":
    main()
