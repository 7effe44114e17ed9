#!/usr/bin/env python3
"""House check of the platform layer's boundary: a shared header reaches no system header, however
deep its includes go. Shared is every header of src/ outside the system folders
(src/platform/linux/, src/platform/win32/); a system header is a header of those folders, or a C,
POSIX or Win32 header (an angle-bracket include of a ".h" file: the standard library's headers
have no extension, nor have Qt's). Quoted includes are followed from src/. Prints each shared
header with the chain of includes that reaches a system header and exits 1 on any.

--self-test first checks a sample tree whose one shared header reaches <unistd.h> through another
header and a system folder's header: the check must name exactly those two, and pass the rest."""
import pathlib
import re
import sys

import house_check

QUOTED = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.MULTILINE)
SYSTEM_C = re.compile(r"^\s*#\s*include\s*<([^>]+\.h)>", re.MULTILINE)
SYSTEM_FOLDERS = ("platform/linux/", "platform/win32/")


def is_shared(name: str) -> bool:
    return name.endswith(".h") and not name.startswith(SYSTEM_FOLDERS)


def chain_to_system(name: str, tree: dict[str, str], seen: set[str]) -> list[str] | None:
    """The includes from name to the first system header it reaches, or None when it reaches none."""
    if name.startswith(SYSTEM_FOLDERS):
        return [name]
    if name in seen or name not in tree:
        return None
    seen.add(name)
    text = tree[name]
    c_header = SYSTEM_C.search(text)
    if c_header:
        return [name, f"<{c_header.group(1)}>"]
    for included in QUOTED.findall(text):
        chain = chain_to_system(included, tree, seen)
        if chain:
            return [name] + chain
    return None


def check_tree(tree: dict[str, str]) -> list[str]:
    findings = []
    for name in sorted(n for n in tree if is_shared(n)):
        chain = chain_to_system(name, tree, set())
        if chain:
            findings.append(f"src/{name}: " + " -> ".join(chain[1:] if len(chain) > 1 else chain))
    return findings


def load(src: pathlib.Path) -> dict[str, str]:
    return {f.relative_to(src).as_posix(): f.read_text(encoding="utf-8")
            for f in src.rglob("*") if f.suffix in (".h", ".cpp")}


SAMPLE = {
    "platform/Clean.h": '#pragma once\n#include "platform/NativeFile.h"\n#include <string>\n',
    "platform/NativeFile.h": "#pragma once\n#include <cstdint>\n",
    "platform/Leaky.h": '#pragma once\n#include "platform/Helper.h"\n',
    "platform/Helper.h": '#pragma once\n#include "platform/linux/Fd.h"\n',
    "platform/linux/Fd.h": "#pragma once\n#include <unistd.h>\n",
    "platform/linux/Fd.cpp": '#include "platform/linux/Fd.h"\n',
    "engine/Direct.h": "#pragma once\n#include <sys/stat.h>\n",
}


def self_test() -> int:
    """The check names the leaking shared headers of SAMPLE, each with its chain, and no other."""
    findings = check_tree(SAMPLE)
    expected = ["src/engine/Direct.h: <sys/stat.h>",
                "src/platform/Helper.h: platform/linux/Fd.h",
                "src/platform/Leaky.h: platform/Helper.h -> platform/linux/Fd.h"]
    if findings != expected:
        print(f"self-test: expected {expected}, got {findings}")
        return 1
    return 0


def findings_in(args: list[str]) -> list[str]:
    src = pathlib.Path(args[0]) if args else pathlib.Path(__file__).resolve().parent.parent / "src"
    return check_tree(load(src))


if __name__ == "__main__":
    house_check.run(sys.argv, self_test, findings_in)
