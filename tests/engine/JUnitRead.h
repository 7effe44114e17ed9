#pragma once

// JUnit reports read back by a real JUnit reader: Debian's python3-junitparser under Debian's own
// /usr/bin/python3, which need not be the first python3 on the path.

#include "platform/Text.h"
#include "support/CliRun.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace pelorix::test {

inline constexpr const char* Python = "/usr/bin/python3";

inline bool junitParserPresent() {
    return std::system((std::string(Python) + " -c 'import junitparser' 2>/dev/null").c_str()) == 0;
}

// What junitparser reads from a report: "suite", "property" and "case" lines split at tabs.
inline std::vector<std::vector<std::string>> readWithJUnitParser(const std::string& reportPath) {
    const std::string command =
        std::string(Python) + " " PELORIX_SOURCE_DIR "/tests/engine/junit_summary.py '" + reportPath + "'";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    std::string text;
    char buffer[4096];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe.get()) != nullptr)
        text += buffer;
    std::vector<std::vector<std::string>> rows;
    for (const std::string& line : outputLines(text))
        rows.push_back(split(line, '\t'));
    return rows;
}

#define REQUIRE_JUNIT_PARSER()                                                                               \
    if (!junitParserPresent())                                                                               \
    GTEST_SKIP() << Python << " cannot import junitparser (Debian package python3-junitparser)"

using Row = std::vector<std::string>;

// The case lines' fields that do not depend on time: name, class name, kind, timed, output.
inline std::vector<Row> caseKinds(const std::vector<Row>& rows) {
    std::vector<Row> cases;
    for (const Row& row : rows)
        if (row.size() >= 6 && row[0] == "case")
            cases.push_back({row[1], row[2], row[3], row[4], row[5]});
    return cases;
}

inline const Row& caseNamed(const std::vector<Row>& rows, const std::string& name) {
    for (const Row& row : rows)
        if (row.size() == 8 && row[0] == "case" && row[1] == name)
            return row;
    static const Row none;
    return none;
}
// The row would outlive the rows it is in.
const Row& caseNamed(std::vector<Row>&& rows, const std::string& name) = delete;

} // namespace pelorix::test
