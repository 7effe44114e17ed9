#pragma once

// What a comparison must say: differences printed as the command prints them when a test that
// compares them fails, and a check that the expected ones are among them.

#include "formats/CompatReport.h"
#include "formats/TypeLibText.h"

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

// Whatever a damaged copy of a library holds, the reader reads it or says why it cannot; it never
// reads outside the bytes (the sanitizers watch every copy) nor raises anything else. What it read
// prints, and compared with itself shows no difference.
inline void expectReadOrRefused(const std::string& bytes, const std::string& where) {
    try {
        const TypeLibrary lib = readTypeLibrary(bytes);
        EXPECT_FALSE(typeLibraryText(lib).empty()) << where;
        EXPECT_EQ(compare(lib, lib), std::vector<CompatDifference>{}) << where;
    } catch (const TypeLibError& e) {
        EXPECT_NE(std::string(e.what()), "") << where;
    }
}

// Every truncation and every flipped byte of a library's bytes.
inline void expectEveryDamageReadOrRefused(const std::string& bytes) {
    for (std::size_t n = 0; n < bytes.size(); ++n)
        expectReadOrRefused(bytes.substr(0, n), "cut at " + std::to_string(n));
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::string flipped = bytes;
        flipped[i] = static_cast<char>(flipped[i] ^ 0xFF);
        expectReadOrRefused(flipped, "byte " + std::to_string(i) + " flipped");
    }
}

} // namespace test
} // namespace pelorix
