"""Reads a JUnit XML report with junitparser, as a CI server would, and prints what it found:
one line per suite, property and test case, fields separated by tabs."""
import sys

import junitparser

sys.stdout.reconfigure(encoding="utf-8")
report = junitparser.JUnitXml.fromfile(sys.argv[1])
suites = [report] if isinstance(report, junitparser.TestSuite) else list(report)
for suite in suites:
    print("suite", suite.name, suite.tests, suite.failures, suite.errors, suite.skipped, sep="\t")
    for prop in suite.properties():
        print("property", prop.name, prop.value, sep="\t")
    for case in suite:
        results = case.result or []
        kind = ",".join(type(r).__name__.lower() for r in results) or "passed"
        message = " ".join((r.message or "") for r in results)
        text = " ".join((r.text or "") for r in results)
        timed = "timed" if case.time is not None and case.time >= 0 else "untimed"
        out = "out" if case.system_out else "-"
        print("case", case.name, case.classname, kind, timed, out, message, text.replace("\n", "|"), sep="\t")
