#pragma once

// What a comparison must say: differences printed as the command prints them when a test that
// compares them fails, and a check that the expected ones are among them.

#include "formats/CompatReport.h"

#include <algorithm>
#include <ostream>
#include <vector>

#include <gtest/gtest.h>

namespace pelorix {

inline void PrintTo(const CompatDifference& d, std::ostream* out) {
    *out << compatLine(d);
}

namespace test {

// A difference that must be among the comparison's: its severity, type, member, and a part of
// what it says.
struct Expected {
    CompatSeverity severity;
    const char* type;
    const char* member;
    const char* what;
};

inline constexpr CompatSeverity Breaking = CompatSeverity::Breaking;
inline constexpr CompatSeverity Compatible = CompatSeverity::Compatible;

inline std::string listed(const std::vector<CompatDifference>& differences) {
    std::string text;
    for (const CompatDifference& d : differences)
        text +=
            std::string(severityText(d.severity)) + " | " + d.type + " | " + d.member + " | " + d.what + "\n";
    return text;
}

inline void expectDifferences(const std::vector<CompatDifference>& got, bool breaks,
                              const std::vector<Expected>& expected) {
    SCOPED_TRACE(listed(got));
    EXPECT_EQ(anyBreaking(got), breaks);
    for (const Expected& e : expected) {
        const bool found = std::any_of(got.begin(), got.end(), [&](const CompatDifference& d) {
            return d.severity == e.severity && d.type == e.type && d.member == e.member &&
                   d.what.find(e.what) != std::string::npos;
        });
        EXPECT_TRUE(found) << "missing: " << severityText(e.severity) << " | " << e.type << " | " << e.member
                           << " | " << e.what;
    }
}

} // namespace test
} // namespace pelorix
