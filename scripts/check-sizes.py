#!/usr/bin/env python3
"""House check of the size of the program's code: no file of src/ over 600 lines and no function
over 60 lines (from the line of its name to its closing brace, lambdas inside it included).
Functions are found by Universal Ctags (package universal-ctags). Prints each file and function
over its limit and exits 1 on any.

--self-test first checks a sample file with one function of 61 lines beside one of 60 (and a long
lambda that makes a third one long): the check must name exactly the first and the third."""
import pathlib
import subprocess
import sys

import house_check
import tempfile

MAX_FILE_LINES = 600
MAX_FUNCTION_LINES = 60


def functions(files: list[pathlib.Path]) -> list[tuple[str, str, int, int]]:
    """(file, name, first line, last line) of every function defined in the files."""
    if not files:
        return []
    out = subprocess.run(["ctags", "--languages=C++", "--langmap=C++:+.h", "--kinds-C++=f", "--fields=+ne",
                          "--extras=-q", "-o", "-", *map(str, files)],
                         check=True, capture_output=True, text=True).stdout
    found = []
    for line in out.splitlines():
        name, path, *rest = line.split("\t")
        fields = dict(f.split(":", 1) for f in rest if ":" in f)
        # A lambda is part of the function it is written in.
        if name.startswith("__anon") or "line" not in fields or "end" not in fields:
            continue
        found.append((path, name, int(fields["line"]), int(fields["end"])))
    return found


def check(files: list[pathlib.Path], label) -> list[str]:
    findings = []
    for f in files:
        lines = len(f.read_text(encoding="utf-8").splitlines())
        if lines > MAX_FILE_LINES:
            findings.append(f"{label(f)}: {lines} lines (at most {MAX_FILE_LINES})")
    for path, name, first, last in functions(files):
        if last - first + 1 > MAX_FUNCTION_LINES:
            findings.append(f"{label(pathlib.Path(path))}:{first}: {name} has {last - first + 1} lines "
                            f"(at most {MAX_FUNCTION_LINES})")
    return sorted(findings)


def function_text(name: str, body_lines: int) -> str:
    return f"int {name}() {{\n" + "    x();\n" * (body_lines - 2) + "}\n"


def self_test() -> int:
    """Of a 61-line function, a 60-line one and a function made long by a lambda inside it, the
    first and the last are named, the lambda not on its own."""
    sample = (function_text("tooLong", 61) + function_text("justRight", 60) +
              "void callsLambda() {\n    run([] {\n" + "        x();\n" * 70 + "    });\n}\n")
    with tempfile.TemporaryDirectory() as folder:
        path = pathlib.Path(folder) / "Sample.cpp"
        path.write_text(sample, encoding="utf-8")
        findings = check([path], label=lambda f: f.name)
    expected = sorted(["Sample.cpp:1: tooLong has 61 lines (at most 60)",
                       "Sample.cpp:122: callsLambda has 74 lines (at most 60)"])
    if findings != expected:
        print(f"self-test: expected {expected}, got {findings}")
        return 1
    return 0


def findings_in(args: list[str]) -> list[str]:
    root = pathlib.Path(__file__).resolve().parent.parent
    src = pathlib.Path(args[0]) if args else root / "src"
    files = sorted(f for f in src.rglob("*") if f.suffix in (".cpp", ".h"))
    return check(files, label=lambda f: f.resolve().relative_to(root).as_posix())


if __name__ == "__main__":
    house_check.run(sys.argv, self_test, findings_in)
