"""A program on a console of its own (a pseudo-terminal, which Wine's
console follows), as a Windows user at a console runs it.

Usage: console.py answer TEXT... -- PROGRAM ARGS   types each TEXT and Enter at a "Passphrase" prompt
       console.py interrupt ctrl-c|close FOLDER -- PROGRAM ARGS
           once a temporary output (.quorin-*) appears in FOLDER, types Ctrl-C or closes the console
       console.py run -- PROGRAM ARGS
Prints what the console showed, and exits with the program's exit code
(128 + the signal for a signal, 124 when it had to be killed).
"""
import os
import pty
import select
import sys
import time
from typing import List

how = sys.argv[1]
split = sys.argv.index("--")
words, program = sys.argv[2:split], sys.argv[split + 1:]
pid, console = pty.fork()
if pid == 0:
    os.execvp(program[0], program)
shown = b""


def read(seconds: float) -> bool:
    """What the console shows for up to seconds; False once it is gone."""
    global shown
    ready, _, _ = select.select([console], [], [], seconds)
    if ready:
        try:
            more = os.read(console, 4096)
        except OSError:
            return False
        shown += more
        return bool(more)
    return True


def until(seen: bytes, seconds: float = 60) -> None:
    end = time.monotonic() + seconds
    while seen not in shown.replace(b"\x1b[K", b"") and time.monotonic() < end and read(0.1):
        pass


if how == "answer":
    answers: List[str] = words
    for n, answer in enumerate(answers):
        until(b"Passphrase" if n == 0 else b"again")
        time.sleep(1.5)  # Wine's console takes a moment to turn echo off
        os.write(console, answer.encode() + b"\r")
elif how == "interrupt":
    action, folder = words
    end = time.monotonic() + 60
    while time.monotonic() < end and not any(n.startswith(".quorin-") for n in os.listdir(folder)):
        read(0.1)
    time.sleep(0.5)
    if action == "ctrl-c":
        os.write(console, b"\x03")
    else:
        os.close(console)
end = time.monotonic() + 120
status = None
open_console = not (how == "interrupt" and words[0] == "close")
while status is None and time.monotonic() < end:
    done, waited = os.waitpid(pid, os.WNOHANG)
    if done:
        status = waited
    elif not (open_console and read(0.2)):
        open_console = False
        time.sleep(0.2)
if status is None:
    os.kill(pid, 9)
    os.waitpid(pid, 0)
    status = 124 << 8
sys.stdout.buffer.write(shown)
code = os.waitstatus_to_exitcode(status)
sys.exit(128 - code if code < 0 else code)
