#!/usr/bin/env python3
"""House check of the error convention: the procedure name given to guard() or handle() is the
name of the function it stands in, so that the error log names the procedure that failed.

A function definition starts at the first column ("Class::name(" or "name(" after its return
type); every guard("X", ...) or handle("X", ...) up to the next definition must name it: X is the
function's name, or its name followed by "(" (an element of a control array, "cmdFunction_Click(0)"
built as "cmdFunction_Click(" + index + ")"). A call that stands in for another procedure on
purpose says so on its line: // procedure: NAME. Prints each mismatch and exits 1 on any."""
import pathlib
import re
import sys

import house_check

DEFINITION = re.compile(r"^(?![ \t}#/]|namespace\b|return\b|using\b|template\b|struct\b|class\b|enum\b)"
                        r"[^;=(]*?\b(~?[A-Za-z_]\w*)\s*\(")
NAMED = re.compile(r"\b(guard|handle)\(\"([^\"]*)\"")
DECLARED = re.compile(r"//\s*procedure:\s*(\S+)")


def check(path: pathlib.Path) -> list[str]:
    return check_text(path.read_text(encoding="utf-8"), str(path))


def check_text(text: str, label: str) -> list[str]:
    findings = []
    function = None
    for number, line in enumerate(text.splitlines(), 1):
        definition = DEFINITION.match(line)
        if definition:
            function = definition.group(1)
        for call in NAMED.finditer(line):
            name = call.group(2)
            declared = DECLARED.search(line)
            expected = declared.group(1) if declared else function
            if expected is None or not (name == expected or name == expected + "("):
                findings.append(f"{label}:{number}: {call.group(1)}(\"{name}\") in {function or '(no function)'}")
    return findings


SAMPLE = """void frmX::cmdFunction_Click(int index) {
    handle("cmdFunction_Click(" + std::to_string(index) + ")", true, [&] {});
}

std::string CFY::fName(std::string_view text,
                       int kind) {
    return guard("fName", [&] { return std::string(text); });
}

void frmX::showEvent(QShowEvent* event) {
    handle("Form_Load", true, [&] {}); // procedure: Form_Load
}

void frmX::vsgridProject_Click() {
    handle("vbgridProject_Click", true, [&] {});
}
"""


def self_test() -> int:
    """The check passes the right names of SAMPLE and finds the wrong one, on its line."""
    findings = check_text(SAMPLE, "sample")
    expected = ['sample:15: handle("vbgridProject_Click") in vsgridProject_Click']
    if findings != expected:
        print(f"self-test: expected {expected}, got {findings}")
        return 1
    return 0


def findings_in(args: list[str]) -> list[str]:
    roots = [pathlib.Path(a) for a in args] or [pathlib.Path(__file__).resolve().parent.parent / "src"]
    files = sorted(f for root in roots for f in ([root] if root.is_file() else root.rglob("*.cpp")))
    return [finding for f in files for finding in check(f)]


if __name__ == "__main__":
    house_check.run(sys.argv, self_test, findings_in)
