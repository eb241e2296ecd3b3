#!/usr/bin/env python3
"""Runs quorin_bench once and prints, per mode and direction, the component's
work-buffer throughput beside libtomcrypt's and Crypto++'s (where they were
built in), with the ratio to the fastest peer; then the key schedule.

    bench/table.py build/default/bin/quorin_bench            # medians of 5 repetitions
    bench/table.py build/default/bin/quorin_bench --short    # one quick pass (CI: checks it runs)
"""
import json
import subprocess
import sys

MODES = ["ECB", "CBC", "CFB", "OFB"]


def run(binary, short):
    args = [binary, "--benchmark_format=json",
            "--benchmark_filter=Component_(En|De)cryptBuffer|_(En|De)crypt(Blocks|/)|KeySchedule"]
    if short:
        args.append("--benchmark_min_time=0.01")
    else:
        args += ["--benchmark_repetitions=5", "--benchmark_report_aggregates_only=true"]
    out = subprocess.run(args, check=True, capture_output=True, text=True).stdout
    results = {}
    for b in json.loads(out)["benchmarks"]:
        if b.get("aggregate_name", "median") != "median":
            continue
        name = b.get("run_name", b["name"])
        results[name] = b
    return results


def mib(b):
    return b["bytes_per_second"] / (1 << 20) if b and "bytes_per_second" in b else None


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    results = run(sys.argv[1], "--short" in sys.argv[2:])
    print("%-12s %12s %12s %12s %10s" % ("4 KiB", "Quorin", "libtomcrypt", "Crypto++", "vs best"))
    for direction in ("Encrypt", "Decrypt"):
        for index, mode in enumerate(MODES):
            ours = mib(results.get("Component_%sBuffer/%d" % (direction, index)))
            suffix = "Blocks" if mode == "ECB" else "/" + mode
            peers = [mib(results.get("%s_%s%s" % (peer, direction, suffix)))
                     for peer in ("Libtomcrypt", "CryptoPP")]
            best = max([p for p in peers if p] or [0])
            cells = ["%9.0f MiB/s" % v if v else "%12s" % "-" for v in [ours] + peers]
            ratio = "%9.2fx" % (ours / best) if ours and best else "%10s" % "-"
            print("%-12s %s %s" % ("%s %s" % (mode, direction.lower()), " ".join(cells), ratio))
    key = [results.get(n) for n in ("Quorin_KeySchedule", "Libtomcrypt_KeySchedule",
                                    "CryptoPP_KeySchedule")]
    times = [k["real_time"] if k else None for k in key]
    best = min([t for t in times[1:] if t] or [0])
    print("%-12s %s %s" % ("key setup", " ".join("%9.0f ns   " % t if t else "%12s" % "-"
                                                   for t in times),
                          "%9.2fx" % (best / times[0]) if best and times[0] else "-"))


if __name__ == "__main__":
    main()
