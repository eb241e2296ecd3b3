#!/usr/bin/env python3
"""The sealed format's conformance vectors through `quorin open`: each
vector's secrets written to files and named on the command line as a user
would, the outcome read from the exit status and the message.
Usage: run_tool.py VECTORS_DIR QUORIN [RUNNER]   (RUNNER: wine64 for quorin.exe)"""
import concurrent.futures
import hashlib
import os
import re
import subprocess
import sys
import tempfile

# The failure's kind, from the library's message (exit status 1), in this
# order; exit status 2 with "opens with" is a secret of another kind.
MESSAGES = [
    ("not-sealed", r"is not a sealed file"),
    ("unsupported-version", r"is sealed in format version \d+, which"),
    ("cost-limit", r"header asks for"),
    ("bad-header", r"has a damaged header"),
    ("truncated", r"is truncated"),
    ("authentication", r"cannot open|header was altered|is damaged: the chunk|appended after|"
                       r"padding is invalid"),
    ("bad-armour", r"BEGIN line|END line|armoured block|base64|armour|UTF-16"),
]


def kind_of(status: int, message: str) -> str:
    if status == 0:
        return "success"
    if status == 2 and re.search(r"opens with|kinds of recipient", message):
        return "secret-kind"
    if status == 1:
        for kind, pattern in MESSAGES:
            if re.search(pattern, message):
                return kind
    return "exit %d: %s" % (status, message.strip())


def run(vector: str, tool: list, work: str) -> tuple:
    with open(vector, "rb") as f:
        head, data = f.read().split(b"\n\n", 1)
    fields, args = {}, ["open", "-o", "out.bin"]
    for line in head.decode().splitlines()[1:]:
        key, value = line.split(": ", 1)
        fields[key] = value
        if key in ("passphrase", "passphrase-hex"):
            raw = value.encode() if key == "passphrase" else bytes.fromhex(value)
            with open(os.path.join(work, "pass.txt"), "wb") as p:
                p.write(raw + b"\n")
            args += ["--passphrase-file", "pass.txt"]
        elif key == "key-file":
            assert "--key-file" not in args, "the tool takes one key file"
            with open(os.path.join(work, "key.bin"), "wb") as k:
                k.write(bytes.fromhex(value))
            args += ["--key-file", "key.bin"]
        elif key == "identity":
            with open(os.path.join(work, "ids.txt"), "a") as i:
                i.write(value + "\n")
            if "ids.txt" not in args:
                args += ["-i", "ids.txt"]
        elif key == "max-passes":
            args += ["--max-passes", value]
        elif key == "max-memory-mib":
            args += ["--max-memory", value]
    with open(os.path.join(work, "input"), "wb") as i:
        i.write(data)
    done = subprocess.run(tool + args + ["input"], cwd=work, stdin=subprocess.DEVNULL,
                          capture_output=True, env=dict(os.environ, WINEDEBUG="-all"))
    kind = kind_of(done.returncode, done.stderr.decode(errors="replace"))
    if kind == "success":
        with open(os.path.join(work, "out.bin"), "rb") as o:
            if hashlib.sha256(o.read()).hexdigest() != fields["plaintext-sha256"]:
                kind = "success with another plaintext"
    elif os.path.exists(os.path.join(work, "out.bin")):
        kind += ", and an output was left"
    return fields, kind


def one(folder: str, name: str, tool: list) -> tuple:
    with tempfile.TemporaryDirectory() as work:
        return (name,) + run(os.path.join(folder, name), tool, work)


def main() -> int:
    folder, quorin = sys.argv[1], os.path.abspath(sys.argv[2])
    runner = sys.argv[3] if len(sys.argv) > 3 else ""
    tool = ([runner] if runner else []) + [quorin]
    names = sorted(n for n in os.listdir(folder) if n.endswith(".qsv"))
    failed = 0
    with concurrent.futures.ThreadPoolExecutor(4) as pool:
        for name, fields, kind in pool.map(lambda n: one(folder, n, tool), names):
            if kind != fields["expect"]:
                failed += 1
                print("FAIL %s: %s expected, got %s" % (name, fields["expect"], kind))
    print("%d vectors, %d failed" % (len(names), failed))
    return 0 if failed == 0 and len(names) >= 150 else 1


if __name__ == "__main__":
    sys.exit(main())
