#!/usr/bin/env python3
"""The code examples of the documents, run as the documents show them.

An example may use a few names it leaves to the reader (a key, an IV, the
data) and placeholders (`quorin1...`, an install path). Each is run with
those names defined before it and the placeholders given real values, in a
scratch folder holding the files examples name (notes.txt, report.pdf).

Usage:
  examples.py cpp DOCUMENT OUTPUT.cpp   writes the C++ examples as one program
  examples.py python DOCUMENT...        runs each Python example
  examples.py windows DOCUMENT          the C# example (mcs, mono), the Python
                                        example and the batch lines (as POSIX
                                        shell lines), against the Linux library
The C library is $QUORIN_C_LIBRARY; the package comes from $PYTHONPATH."""

import os
import re
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path
from typing import Dict, List, Tuple

NOTES = b"meet at noon\n"


def blocks(document: Path, language: str) -> List[Tuple[int, str]]:
    """The fenced blocks of one language, each with the line its code starts on."""
    found: List[Tuple[int, str]] = []
    lines = document.read_text(encoding="utf-8").splitlines()
    start = None
    for number, line in enumerate(lines, 1):
        if start is None and line.strip() == "```" + language:
            start = number + 1
        elif start is not None and line.strip() == "```":
            found.append((start, "\n".join(lines[start - 1:number - 1]) + "\n"))
            start = None
    if not found:
        raise SystemExit(f"FAIL no {language} examples in {document}")
    return found


def substitute(code: str, values: Dict[str, str]) -> str:
    for placeholder, value in values.items():
        code = code.replace(placeholder, value)
    return code


def scratch() -> Path:
    folder = Path(tempfile.mkdtemp(prefix="quorin-docs-"))
    (folder / "notes.txt").write_bytes(NOTES)
    (folder / "report.pdf").write_bytes(bytes(range(256)) * 40)
    return folder


def run(argv: List[str], folder: Path, what: str, **kwargs: object) -> None:
    result = subprocess.run(argv, cwd=folder, capture_output=True, text=True, **kwargs)
    if result.returncode != 0:
        raise SystemExit(f"FAIL {what}:\n{result.stdout}{result.stderr}")


CPP_PRELUDE = """\
  [[maybe_unused]] const std::string key = "a key of 32 bytes, as Large256!!";
  [[maybe_unused]] const std::string iv = "sixteen byte IV.";
  [[maybe_unused]] const std::string passphrase = "correct horse battery";
  [[maybe_unused]] const std::vector<std::uint8_t> plain{'m', 'e', 'e', 't'};
  [[maybe_unused]] std::istringstream in("meet at noon\\n");
  [[maybe_unused]] std::ostringstream out;
  [[maybe_unused]] const std::string friendRecipient =
      quorin::seal::Recipient::Of(quorin::seal::Secret::NewIdentity()).ToString();
"""

# What each C++ example must have done, checked in its own scope.
CPP_CHECKS = {
    "string": 'if (plain != "attack at dawn") throw std::runtime_error("not decrypted");',
    "sealed": 'if (back != plain) throw std::runtime_error("not opened");',
}


def cpp(document: Path, output: Path) -> None:
    includes, functions = set(), []
    for number, (line, code) in enumerate(blocks(document, "cpp"), 1):
        body = []
        for text in code.splitlines():
            if text.startswith("#include"):
                includes.add(text.split("//")[0].strip())
                body.append("")
            else:
                body.append(text)
        check = CPP_CHECKS["sealed" if "Open(" in code else "string"]
        functions.append(
            f"void Example{number}() {{\n{CPP_PRELUDE}  {{\n#line {line} \"{document.name}\"\n"
            + substitute("\n".join(body), {'"quorin1..."': "friendRecipient"})
            + f"\n    {check}\n  }}\n}}\n")
    calls = "".join(f"  RunIn(Example{n});\n" for n in range(1, len(functions) + 1))
    output.write_text(
        f"// The C++ examples of {document.name}, each run in a scratch folder. An\n"
        "// example may declare a name its surroundings give another example.\n"
        "#pragma GCC diagnostic ignored \"-Wshadow\"\n"
        + "".join(sorted(f"{i}\n" for i in includes))
        + "#include <cstdint>\n#include <cstdio>\n#include <filesystem>\n#include <fstream>\n"
        "#include <sstream>\n#include <stdexcept>\n#include <string>\n#include <vector>\n\n"
        "namespace {\n" + "".join(functions) + """
void RunIn(void (*example)()) {
  const auto folder = std::filesystem::temp_directory_path() / "quorin-cpp-example";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  std::filesystem::current_path(folder);
  std::ofstream("notes.txt") << "meet at noon\\n";
  example();
  std::filesystem::current_path(folder.parent_path());
  std::filesystem::remove_all(folder);
}
}  // namespace

int main() {
""" + calls + f'  std::printf("ok   {len(functions)} C++ examples ran\\n");\n}}\n')


PYTHON_PRELUDE = 'import quorin\nkey = b"a 16-byte secret"\niv = bytes(range(16))\n'


def python(document: Path) -> None:
    for line, code in blocks(document, "python"):
        folder = scratch()
        run([sys.executable, "-c", PYTHON_PRELUDE + code], folder,
            f"the Python example at {document.name}:{line}")
        shutil.rmtree(folder)
    print(f"ok   the Python examples of {document.name} ran")


def windows(document: Path) -> None:
    library = os.environ["QUORIN_C_LIBRARY"]
    folder = scratch()
    (line, csharp), = blocks(document, "csharp")
    (folder / "Example.cs").write_text(csharp)
    run(["mcs", "-nologo", "-warnaserror", "-out:Example.exe", "Example.cs"], folder,
        f"compiling the C# example at {document.name}:{line}")
    env = dict(os.environ, LD_LIBRARY_PATH=str(Path(library).parent))
    run(["mono", "Example.exe"], folder, f"the C# example at {document.name}:{line}", env=env)
    if not (folder / "report.pdf.rc6").stat().st_size == 40 * 256 + 16:
        raise SystemExit("FAIL the C# example did not encrypt report.pdf")

    paths = {r"C:\quorin\bin\quorin-c.dll": library,
             r"C:\src\quorin\bindings\python": os.environ.get("PYTHONPATH", "")}
    for line, code in blocks(document, "python"):
        run([sys.executable, "-c", substitute(code, paths)], folder,
            f"the Python example at {document.name}:{line}")
    for line, code in blocks(document, "bat"):
        shell = re.sub(r"^set (\w+)=(.*)$", r"export \1='\2'", substitute(code, paths),
                       flags=re.MULTILINE).replace("python -c", f"{sys.executable} -c")
        run(["sh", "-e", "-c", shell], folder, f"the batch lines at {document.name}:{line}")
    shutil.rmtree(folder)
    print(f"ok   the C#, Python and batch examples of {document.name} ran")


def main(argv: List[str]) -> None:
    if len(argv) == 4 and argv[1] == "cpp":
        cpp(Path(argv[2]), Path(argv[3]))
    elif len(argv) >= 3 and argv[1] == "python":
        for document in argv[2:]:
            python(Path(document))
    elif len(argv) == 3 and argv[1] == "windows":
        windows(Path(argv[2]))
    else:
        raise SystemExit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
