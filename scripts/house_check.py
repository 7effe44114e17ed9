"""What the Python house checks share: each checks itself on a sample first when asked
(--self-test), then prints its findings on the tree, one a line, and fails on any."""
import sys
from collections.abc import Callable


def run(argv: list[str], self_test: Callable[[], int], findings_of: Callable[[list[str]], list[str]]) -> None:
    """Exits 1 when the self-test (with --self-test) fails or when there is any finding, else 0.
    findings_of gets the arguments after the script's name, --self-test left out."""
    if argv[1:2] == ["--self-test"] and self_test() != 0:
        sys.exit(1)
    findings = findings_of([a for a in argv[1:] if a != "--self-test"])
    for finding in findings:
        print(finding)
    sys.exit(1 if findings else 0)
