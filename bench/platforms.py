#!/usr/bin/env python3
"""The same benchmarks from two builds of quorin_bench, side by side: the
native one and another platform's under its runner (the Windows build under
Wine). Rounds alternate between the two, so that a busy machine slows both
alike; each cell is the median of the rounds.

    bench/platforms.py NATIVE_BENCH WINDOWS_BENCH [--runner wine64] [--rounds 3]
"""
import argparse
import json
import re
import statistics
import subprocess

# The work buffer, strings, streams and files per mode (encrypting), key
# setup, one block, and sealing; the rest of the table has the same shape.
FILTER = ("^(Quorin_EncryptBlocks|Component_EncryptBuffer/[0-3]|Component_String/[0-3]/1|"
          "Component_Stream/[0-3]/1|Component_File/[0-3]/1/1|Component_KeySetup/32|"
          "Component_EncryptBlock|Seal_Stream/[1-3]|Open_Stream/[1-3])")
MODES = ["ECB", "CBC", "CFB", "OFB"]


def run(command):
    out = subprocess.run([*command, "--benchmark_format=json", "--benchmark_filter=" + FILTER,
                          "--benchmark_min_time=0.2"],
                         check=True, capture_output=True, text=True).stdout
    return {b["name"].replace("/real_time", ""): b for b in json.loads(out)["benchmarks"]}


def value(b):
    if "bytes_per_second" in b:
        return b["bytes_per_second"] / (1 << 20), "MiB/s", True
    return b["real_time"], b["time_unit"], False


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("native")
    parser.add_argument("other")
    parser.add_argument("--runner", default="wine64")
    parser.add_argument("--rounds", type=int, default=3)
    args = parser.parse_args()
    rounds = [(run([args.native]), run([args.runner, args.other])) for _ in range(args.rounds)]
    print("%-30s %14s %14s %9s" % ("", "native", "Windows/Wine", "ratio"))
    for name in rounds[0][0]:
        if name not in rounds[0][1]:
            continue
        native = statistics.median(value(r[0][name])[0] for r in rounds)
        other = statistics.median(value(r[1][name])[0] for r in rounds)
        _, unit, higher = value(rounds[0][0][name])
        ratio = other / native if higher else native / other
        label = re.sub(r"(EncryptBuffer|Stream|String|File)/([0-3])(/1)*$",
                       lambda m: m.group(1) + " " + MODES[int(m.group(2))], name)
        print("%-30s %9.1f %-4s %9.1f %-4s %8.2fx" % (label, native, unit, other, unit, ratio))
    print("ratio: the Windows build's speed as a share of the native one's (1.00x = as fast)")


if __name__ == "__main__":
    main()
