#!/usr/bin/env python3
"""Runs quorin_bench once and prints the whole comparison: per mode and
direction, the component through the work buffer (4 KiB), 1 MiB strings,
64 MiB memory streams and 256 MiB files (written new, and overwriting the
last run's output), beside libtomcrypt's and Crypto++'s
4 KiB throughput in that mode (where they were built in), with the ratio to
the fastest peer; then the files against the work buffer, the work buffer
again with the vector kernels masked (the portable kernel), key setup per
key size and single-block calls.

    bench/table.py build/default/bin/quorin_bench            # medians of 5 repetitions
    bench/table.py build/default/bin/quorin_bench --short    # one quick pass (CI: checks it runs)
"""
import json
import os
import subprocess
import sys

MODES = ["ECB", "CBC", "CFB", "OFB"]
PEERS = ("Libtomcrypt", "CryptoPP")


def run(binary, short, extra=(), env=None):
    args = [binary, "--benchmark_format=json", *extra]
    if short:
        args.append("--benchmark_min_time=0.01")
    else:
        args += ["--benchmark_repetitions=5", "--benchmark_report_aggregates_only=true"]
    out = subprocess.run(args, check=True, capture_output=True, text=True, env=env).stdout
    results, spread = {}, {}
    for b in json.loads(out)["benchmarks"]:
        name = b.get("run_name", b["name"]).replace("/real_time", "")
        kind = b.get("aggregate_name", "median")
        if kind == "median":
            results[name] = b
        elif kind == "cv":
            spread[name] = b.get("real_time", 0)
    return results, spread


def mib(b):
    return b["bytes_per_second"] / (1 << 20) if b and "bytes_per_second" in b else None


def cell(v, unit="MiB/s"):
    return "%9.0f %s" % (v, unit) if v else "%15s" % "-"


def row(label, ours, peers, higher_is_better=True, unit="MiB/s"):
    known = [p for p in peers if p]
    if higher_is_better:
        best = max(known) if known else None
        ratio = ours / best if ours and best else None
    else:
        best = min(known) if known else None
        ratio = best / ours if ours and best else None
    print("%-31s %s %s %s" % (label, cell(ours, unit), " ".join(cell(p, unit) for p in peers),
                              "%8.2fx" % ratio if ratio else "%9s" % "-"))


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    results, spread = run(sys.argv[1], "--short" in sys.argv[2:])
    get = results.get
    print("%-31s %15s %15s %15s %9s" % ("", "Quorin", "libtomcrypt", "Crypto++", "vs best"))
    forms = [("buffer 4 KiB", "Component_%sBuffer/%d"),
             ("string 1 MiB", "Component_String/%d/%d"),
             ("stream 64 MiB", "Component_Stream/%d/%d"),
             ("file 256 MiB", "Component_File/%d/%d/1"),
             ("file, overwritten", "Component_File/%d/%d/0")]
    for direction in ("Encrypt", "Decrypt"):
        for index, mode in enumerate(MODES):
            suffix = "Blocks" if mode == "ECB" else "/" + mode
            peers = [mib(get("%s_%s%s" % (peer, direction, suffix))) for peer in PEERS]
            for form, pattern in forms:
                if "Buffer" in pattern:
                    name = pattern % (direction, index)
                else:
                    name = pattern % (index, 1 if direction == "Encrypt" else 0)
                row("%s %s, %s" % (mode, direction.lower(), form), mib(get(name)), peers)
    print()
    print("files of 256 MiB against the work buffer, same mode and direction:")
    for direction in ("Encrypt", "Decrypt"):
        cells = []
        for index, mode in enumerate(MODES):
            buffer = mib(get("Component_%sBuffer/%d" % (direction, index)))
            fresh = mib(get("Component_File/%d/%d/1" % (index, 1 if direction == "Encrypt" else 0)))
            cells.append("%s %s" % (mode, "%.2f" % (fresh / buffer) if fresh and buffer else "-"))
        print("  %-8s %s" % (direction.lower(), "   ".join(cells)))
    # The portable kernel: the same work buffer rows with the vector kernels masked.
    masked = dict(os.environ, QUORIN_CPU_DISABLE="avx2")
    portable, portable_spread = run(sys.argv[1], "--short" in sys.argv[2:],
                                    ["--benchmark_filter=^Component_(En|De)cryptBuffer/"], masked)
    spread.update({"portable " + k: v for k, v in portable_spread.items()})
    print()
    for direction in ("Encrypt", "Decrypt"):
        for index, mode in enumerate(MODES):
            suffix = "Blocks" if mode == "ECB" else "/" + mode
            peers = [mib(get("%s_%s%s" % (peer, direction, suffix))) for peer in PEERS]
            row("%s %s, portable kernel" % (mode, direction.lower()),
                mib(portable.get("Component_%sBuffer/%d" % (direction, index))), peers)
    print()
    for size in (16, 24, 32):
        ours = get("Component_KeySetup/%d" % size)
        peers = [get("%s_KeySchedule/%d" % (peer, size)) for peer in PEERS]
        row("key setup, %d bytes" % size, ours and ours["real_time"],
            [p and p["real_time"] for p in peers], False, "ns   ")
    ours = get("Component_EncryptBlock")
    peers = [get("%s_EncryptBlock" % peer) for peer in PEERS]
    row("EncryptBlock per call", ours and ours["real_time"], [p and p["real_time"] for p in peers],
        False, "ns   ")
    if spread:
        ranked = sorted(spread.items(), key=lambda item: item[1])
        print("noise (coefficient of variation over the repetitions): median %.1f%%; largest %s"
              % (100 * ranked[len(ranked) // 2][1],
                 ", ".join("%.1f%% %s" % (100 * v, k) for k, v in reversed(ranked[-3:]))))


if __name__ == "__main__":
    main()
