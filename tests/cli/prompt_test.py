"""The passphrase prompt on a real terminal (a pseudo-terminal): what the
user types is never echoed, also after Ctrl-Z and fg; the prompt leaves the
process's signal handling as it found it (an ignored HUP stays ignored, the
removal of a named temporary output on TERM still works).

Usage: prompt_test.py QUORIN [NO_TMPFILE_PRELOAD]
"""
import os
import re
import pty
import select
import signal
import sys
import tempfile
import termios
import time
from typing import Callable, Dict, List, Optional

QUORIN = os.path.abspath(sys.argv[1])
PRELOAD = os.path.abspath(sys.argv[2]) if len(sys.argv) > 2 else ""
failures: List[str] = []


def check(what: str, ok: bool) -> None:
    print(("ok   " if ok else "FAIL ") + what)
    if not ok:
        failures.append(what)


class Session:
    """quorin on a new pseudo-terminal, as a shell runs a job: in a process
    group of its own in the foreground, under a session leader that waits
    for it (a group without one would be orphaned, and the terminal's stop
    signals would not reach it)."""

    def __init__(self, args: List[str], env: Optional[Dict[str, str]] = None,
                 before_exec: Optional[Callable[[], None]] = None) -> None:
        report_r, report_w = os.pipe()
        self.leader, self.fd = pty.fork()
        if self.leader == 0:
            # Nothing of the test's own stays open here (a FIFO's writer would).
            os.closerange(3, report_w)
            os.closerange(report_w + 1, 4096)
            job = os.fork()
            if job == 0:
                # As a shell does, the job takes the terminal itself too, so
                # that it never runs a moment in the background.
                os.setpgid(0, 0)
                signal.signal(signal.SIGTTOU, signal.SIG_IGN)
                os.tcsetpgrp(0, os.getpid())
                signal.signal(signal.SIGTTOU, signal.SIG_DFL)
                if before_exec:
                    before_exec()
                os.execve(QUORIN, [QUORIN] + args, {**os.environ, **(env or {})})
            signal.signal(signal.SIGTTOU, signal.SIG_IGN)
            signal.signal(signal.SIGHUP, signal.SIG_IGN)  # outlives a hang-up to report the job's end
            try:  # done by the job too: it may have run already (and exec'd)
                os.setpgid(job, job)
                os.tcsetpgrp(0, job)
            except OSError:
                pass
            os.write(report_w, str(job).encode())
            os.close(report_w)
            _, status = os.waitpid(job, 0)
            os._exit(os.waitstatus_to_exitcode(status) & 0xFF)
        os.close(report_w)
        self.pid = int(os.read(report_r, 32))
        os.close(report_r)
        self.seen = b""

    def read_until(self, text: bytes, timeout: float = 20) -> bool:
        end = time.monotonic() + timeout
        while text not in self.seen and time.monotonic() < end:
            ready, _, _ = select.select([self.fd], [], [], 0.1)
            if ready:
                try:
                    self.seen += os.read(self.fd, 4096)
                except OSError:  # the slave side closed
                    break
        return text in self.seen

    def type(self, text: bytes) -> None:
        os.write(self.fd, text)

    def echo_on(self) -> bool:
        return bool(termios.tcgetattr(self.fd)[3] & termios.ECHO)

    def state(self) -> str:
        try:
            with open("/proc/%d/stat" % self.pid) as f:
                return f.read().rsplit(")", 1)[1].split()[0]
        except FileNotFoundError:
            return "gone"

    def wait_stopped(self) -> bool:
        end = time.monotonic() + 10
        while self.state() != "T" and time.monotonic() < end:
            time.sleep(0.05)
        return self.state() == "T"

    def alive_after(self, seconds: float) -> bool:
        time.sleep(seconds)
        return self.state() not in ("Z", "gone")

    def exit_code(self) -> int:
        self.read_until(b"\0", timeout=0.5)  # drain what is left
        _, status = os.waitpid(self.leader, 0)
        return os.waitstatus_to_exitcode(status)


def opens_with(sealed: str, passphrase: str) -> bool:
    pid = os.fork()
    if pid == 0:
        os.execve(QUORIN, [QUORIN, "open", "--passphrase-env", "PW", "-o", "/dev/null", sealed],
                  {**os.environ, "PW": passphrase})
    return os.waitstatus_to_exitcode(os.waitpid(pid, 0)[1]) == 0


def main() -> None:
    work = tempfile.mkdtemp()
    os.chdir(work)
    with open("plain.txt", "wb") as f:
        f.write(b"a short plaintext\n")
    seal = ["seal", "--cost", "interactive", "-s", "128"]
    seal_prompt = b"Passphrase (Enter alone for a generated one): "

    # Enter alone: a generated passphrase, shown once on the terminal, opens the file.
    s = Session(seal + ["-o", "generated.qsl", "plain.txt"])
    check("sealing offers a generated passphrase", s.read_until(seal_prompt))
    s.type(b"\n")
    check("the seal succeeds without a confirmation", s.exit_code() == 0)
    shown = re.search(rb"write it down, it is not shown again\):\r?\n  ([a-z]+(?:-[a-z]+){8})\r?\n", s.seen)
    check("nine words are shown on the terminal", shown is not None)
    if shown:
        check("and open the file", opens_with("generated.qsl", shown.group(1).decode()))

    # Ctrl-Z in the middle of typing, then the process continues: the prompt
    # starts again, with echo off again; what was typed before is dropped.
    s = Session(seal + ["-o", "stopped.qsl", "plain.txt"])
    check("the prompt appears", s.read_until(seal_prompt))
    check("echo is off while it asks", not s.echo_on())
    s.type(b"abc\x1a")  # Ctrl-Z
    check("Ctrl-Z stops the process", s.wait_stopped())
    check("with the terminal's echo back on", s.echo_on())
    s.seen = b""
    os.kill(s.pid, signal.SIGCONT)
    check("after continuing, the prompt asks again", s.read_until(seal_prompt))
    check("and echo is off again", not s.echo_on())
    s.type(b"typed after fg\n")
    check("the confirmation follows", s.read_until(b"Passphrase again: "))
    s.type(b"typed after fg\n")
    check("the seal succeeds", s.exit_code() == 0)
    check("nothing typed was echoed", b"typed" not in s.seen and b"abc" not in s.seen)
    check("the passphrase is what was typed after fg", opens_with("stopped.qsl", "typed after fg"))

    # The terminal ends at a prompt (Ctrl-D, or a hang-up under nohup): the
    # command is cancelled, exit 1 and no output; never a passphrase nobody saw.
    ignore_hup = lambda: signal.signal(signal.SIGHUP, signal.SIG_IGN)  # noqa: E731
    for command, answers, end in (
            (seal, [], b"\x04"), (seal, [b"typed\n"], b"\x04"), (seal, [b"ab\x04"], b"\x04"),
            (["open"], [], b"\x04"), (seal, [], "hang-up"), (seal, [b"typed\n"], "hang-up"),
            (["open"], [], "hang-up")):
        source = "generated.qsl" if command == ["open"] else "plain.txt"
        what = "%s, %s after %d answers" % (command[0], "Ctrl-D" if end == b"\x04" else end, len(answers))
        s = Session(command + ["-o", "ended.out", source], None, ignore_hup)
        s.read_until(b"Passphrase")
        for answer in answers:
            s.type(answer)
            time.sleep(0.2)
        if end == "hang-up":
            os.close(s.fd)
            _, status = os.waitpid(s.leader, 0)
            code = os.waitstatus_to_exitcode(status)
        else:
            s.type(end)
            code = s.exit_code()
        check(what + ": exit 1", code == 1)
        check(what + ": no output", not os.path.exists("ended.out"))

    # An ignored HUP (nohup) stays ignored once the prompt is done, and a
    # named temporary output is still removed by TERM.
    os.mkfifo("slow.fifo")
    for case in ("nohup", "term"):
        writer = os.open("slow.fifo", os.O_RDWR)  # a writer, so that quorin's open does not wait
        ignore_hup = (lambda: signal.signal(signal.SIGHUP, signal.SIG_IGN)) if case == "nohup" else None
        env = {"LD_PRELOAD": PRELOAD, "ASAN_OPTIONS": "verify_asan_link_order=0"} if case == "term" else {}
        s = Session(seal + ["-o", case + ".qsl", "slow.fifo"], env, ignore_hup)
        for prompt in (seal_prompt, b"Passphrase again: "):
            s.read_until(prompt)
            s.type(b"pass phrase\n")
        time.sleep(0.3)  # reading the FIFO now
        if case == "nohup":
            os.kill(s.pid, signal.SIGHUP)
            check("an ignored HUP is still ignored after the prompt", s.alive_after(0.3))
            os.write(writer, b"late data")
            os.close(writer)
            check("and the seal completes", s.exit_code() == 0)
        elif PRELOAD:
            temporary = [n for n in os.listdir(".") if n.startswith(".quorin-")]
            check("without unnamed files, a named temporary output exists", len(temporary) == 1)
            os.kill(s.pid, signal.SIGTERM)
            s.exit_code()
            os.close(writer)
            left = [n for n in os.listdir(".") if n.startswith(".quorin-") or n == "term.qsl"]
            check("TERM after the prompt still removes it", left == [])
        else:
            os.kill(s.pid, signal.SIGKILL)
            s.exit_code()
            os.close(writer)

    print("checks: %d failed" % len(failures))
    sys.exit(1 if failures else 0)


main()
