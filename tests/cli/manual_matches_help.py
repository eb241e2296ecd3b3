"""The man page and --help agree: each command's synopsis names exactly the
options its --help lists, and each option's "(commands)" tag in OPTIONS
names exactly the commands whose --help lists it.

Usage: manual_matches_help.py MAN_PAGE QUORIN
"""
import re
import subprocess
import sys
from typing import Dict, List, Set

page, quorin = sys.argv[1], sys.argv[2]
COMMANDS = ["seal", "open", "keygen", "encrypt", "decrypt", "mac", "encode", "decode",
            "selftest", "version"]
failures: List[str] = []


def help_options(command: str) -> Dict[str, str]:
    """--help's options of a command, short and long names both mapped to the long one."""
    text = subprocess.run([quorin, command, "--help"], capture_output=True, text=True).stdout
    names: Dict[str, str] = {}
    for line in text.splitlines():
        m = re.match(r"\s+((?:-\w,)?(?:--[\w-]+,?)+)", line)
        if m:
            words = m.group(1).rstrip(",").split(",")
            long = next(w for w in words if w.startswith("--"))
            for w in words:
                names[w] = long
    return names


def option_words(text: str) -> List[str]:
    text = re.sub(r"\\f[BIRP]", " ", text).replace("\\-", "-")
    return re.findall(r"(?<![\w-])(--[a-z][\w-]*|-[a-zA-Z])(?![\w-])", text)


lines = open(page).read().splitlines()
synopsis = lines[lines.index(".SH SYNOPSIS") + 1:lines.index(".SH DESCRIPTION")]
options = lines[lines.index(".SH OPTIONS") + 1:]
options = options[:next(i for i, l in enumerate(options) if l.startswith(".SH"))]

helped = {c: help_options(c) for c in COMMANDS}
for command in COMMANDS:
    if ".B quorin " + command not in synopsis:
        failures.append("%s has no synopsis line" % command)
        continue
    start = synopsis.index(".B quorin " + command)
    end = synopsis.index(".br", start)
    named = {helped[command].get(w, "unknown " + w) for w in option_words(" ".join(synopsis[start + 1:end]))}
    listed = set(helped[command].values()) - {"--help"}
    if named != listed:
        failures.append("%s: synopsis %s, --help %s" % (command, sorted(named), sorted(listed)))

everywhere = {long for names in helped.values() for long in names.values()}
described: Set[str] = set()
for i, line in enumerate(options):
    if line != ".TP":
        continue
    words = option_words(options[i + 1])
    longs = {next((v for c in COMMANDS for k, v in helped[c].items() if k == w), w) for w in words}
    described |= longs
    tag = re.match(r"\(([a-z, ]+)\)", options[i + 2])
    if tag:
        tagged = {c.strip() for c in tag.group(1).split(",")}
        for long in longs:
            using = {c for c in COMMANDS if long in helped[c].values()}
            if using != tagged:
                failures.append("%s: tagged (%s), in --help of %s" % (long, ", ".join(sorted(tagged)),
                                                                       ", ".join(sorted(using))))
for long in sorted(everywhere - described):
    failures.append("%s is in --help but not under OPTIONS" % long)

for f in failures:
    print("FAIL " + f)
print("manual and --help: %d disagreements" % len(failures))
sys.exit(1 if failures else 0)
