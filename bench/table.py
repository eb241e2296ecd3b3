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
    bench/table.py BENCH --tool build/default/bin/quorin [--large]

With --tool, the rows are quorin seal and open beside Debian's age (an X25519
identity; a passphrase, typed through script(1)) on 256 MiB (and, with
--large, 4 GiB) in memory-backed files: every mode with a key file, an
identity and a passphrase, medians of 3 runs interleaved with age's, and the
peak memory of each. SealStream/OpenStream between memory streams, on one
core and on two, come first.
"""
import shutil
import statistics
import tempfile
import time
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


def timed(command, typed=None):
    """Wall seconds and peak resident KiB of one run."""
    if typed is not None:  # through a terminal, for prompts that read /dev/tty
        command = ["script", "-qec", " ".join(command), "/dev/null"]
    command = ["/usr/bin/time", "-f", "%e %M", "-o", "time.txt", *command]
    start = time.monotonic()
    subprocess.run(command, check=True, input=typed, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    wall = time.monotonic() - start
    with open("time.txt") as f:
        return wall, int(f.read().split()[1])


def tool_rows(bench, quorin, large):
    quorin = os.path.abspath(quorin)
    one = run(bench, False, ["--benchmark_filter=^(Seal|Open)_Stream/"],
              dict(os.environ))[0]
    single = subprocess.run(["taskset", "-c", "0", bench, "--benchmark_format=json",
                             "--benchmark_filter=^(Seal|Open)_Stream/",
                             "--benchmark_repetitions=3", "--benchmark_report_aggregates_only=true"],
                            check=True, capture_output=True, text=True).stdout
    singles = {b["run_name"].replace("/real_time", ""): b for b in json.loads(single)["benchmarks"]
               if b.get("aggregate_name") == "median"}
    print("%-31s %15s %15s %9s" % ("memory streams, 256 MiB", "one core", "two cores", "ratio"))
    for what in ("Seal", "Open"):
        for index, mode in enumerate(MODES[1:], 1):
            name = "%s_Stream/%d" % (what, index)
            a, b = mib(singles.get(name)), mib(one.get(name))
            print("%-31s %s %s %8.2fx" % ("%s %s" % (what.lower(), mode), cell(a), cell(b),
                                          b / a if a and b else 0))
    age = shutil.which("age")
    if not age:
        print("age not found (Debian: age): no rows beside it")
    work = tempfile.mkdtemp(dir="/dev/shm" if os.path.isdir("/dev/shm") else None)
    os.chdir(work)
    subprocess.run([quorin, "keygen", "-o", "q.id"], check=True, stdout=open("q.pub", "w"))
    subprocess.run([quorin, "keygen", "--raw", "-o", "q.key"], check=True)
    if age:
        subprocess.run(["age-keygen", "-o", "a.id"], check=True, stderr=subprocess.DEVNULL)
        recipient = subprocess.run(["age-keygen", "-y", "a.id"], check=True, capture_output=True,
                                   text=True).stdout.strip()
    pw = b"bench pass phrase\nbench pass phrase\n"
    print()
    print("%-31s %15s %15s %9s %10s %10s" % ("files in memory", "quorin", "age", "ratio",
                                             "quorin RSS", "age RSS"))
    noise = []
    for size in [256] + ([4096] if large else []):
        with open("plain", "wb") as f:
            for _ in range(size // 64):
                f.write(os.urandom(64 << 20))
        for secret in ("key file", "identity", "passphrase"):
            for mode in ("cbc", "cfb", "ofb"):
                q_secret = {"key file": ["--key-file", "q.key"], "identity": ["-R", "q.pub"],
                            "passphrase": ["--cost", "interactive"]}[secret]
                q_open = {"key file": ["--key-file", "q.key"], "identity": ["-i", "q.id"],
                          "passphrase": []}[secret]
                typed = pw if secret == "passphrase" else None
                a_seal = (["age", "-p", "-o", "a.age", "plain"] if secret == "passphrase"
                          else ["age", "-r", recipient, "-o", "a.age", "plain"]) if age else None
                a_open = (["age", "-d"] + ([] if secret == "passphrase" else ["-i", "a.id"]) +
                          ["-o", "a.out", "a.age"]) if age else None
                runs = {k: [] for k in ("qs", "qo", "as", "ao")}
                for _ in range(3):
                    # Each output goes as soon as it was read back, so that at most
                    # three copies of a 4 GiB file are in memory at once.
                    runs["qs"].append(timed([quorin, "seal", "-m", mode, *q_secret, "-o", "q.qsl",
                                             "plain"], typed))
                    runs["qo"].append(timed([quorin, "open", *q_open, "-o", "q.out", "q.qsl"],
                                            pw[:18] if typed else None))
                    os.remove("q.qsl")
                    os.remove("q.out")
                    if age and secret != "key file" and mode == "cbc":
                        runs["as"].append(timed(a_seal, typed))
                        runs["ao"].append(timed(a_open, pw[:18] if typed else None))
                        os.remove("a.age")
                        os.remove("a.out")
                for what, q, a in (("seal", "qs", "as"), ("open", "qo", "ao")):
                    qt = statistics.median(r[0] for r in runs[q])
                    at = statistics.median(r[0] for r in runs[a]) if runs[a] else None
                    noise.append((max(r[0] for r in runs[q]) - min(r[0] for r in runs[q])) / qt)
                    print("%-31s %s %s %9s %7d MiB %10s" % (
                        "%s %s, %s, %d MiB" % (what, mode.upper(), secret, size),
                        cell(size / qt), cell(size / at) if at else "%15s" % "-",
                        "%8.2fx" % (at / qt) if at else "-",
                        max(r[1] for r in runs[q]) >> 10,
                        "%7d MiB" % (max(r[1] for r in runs[a]) >> 10) if runs[a] else "-"))
    print("noise: the spread of quorin's three runs, median %.0f%%, largest %.0f%%"
          % (100 * statistics.median(noise), 100 * max(noise)))
    shutil.rmtree(work)


if __name__ == "__main__":
    if "--tool" in sys.argv:
        tool_rows(sys.argv[1], sys.argv[sys.argv.index("--tool") + 1], "--large" in sys.argv)
    else:
        main()
