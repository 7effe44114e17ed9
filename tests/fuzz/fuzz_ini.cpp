// Reads and writes one value of arbitrary INI bytes: nothing may crash, a value read fits the
// profile buffer, and a write changes at most one existing line while every other byte stays.
#include "formats/IniFile.h"
#include "platform/CodePage.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

struct Names {
    const char* section;
    const char* key;
    const char* value;
};

// UTF-8 names, some of them with CP932 trail bytes that are "[", "]", "\" or ASCII letters.
constexpr Names kNames[] = {
    {"S", "k", "v"},
    {"Build", "Mode", ""},
    {"データ", "表示", "ソース"},
    {"ア", "ヂ", "\"quoted\""},
    {"s", "K", "a long value with spaces  "},
};

void check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const Names& names = kNames[data[0] % std::size(kNames)];
    const std::string_view file(reinterpret_cast<const char*>(data + 1), size - 1);
    constexpr std::string_view cp = "CP932";

    if (const auto value = pelorix::readIniValue(file, names.section, names.key, cp, pelorix::codePages()))
        check(pelorix::encodeTo(cp, *value).size() <= 255);

    const auto written =
        pelorix::writeIniValue(file, names.section, names.key, names.value, cp, pelorix::codePages());
    check(written.has_value());
    const std::string& out = *written;

    // Everything outside one changed stretch (of an ANSI file; a Unicode file's line ends are
    // two bytes wide) is the old file; the old part of that stretch holds
    // no line end, so at most one old line was touched.
    std::size_t prefix = 0;
    while (prefix < file.size() && prefix < out.size() && file[prefix] == out[prefix])
        ++prefix;
    std::size_t suffix = 0;
    while (suffix < file.size() - prefix && suffix < out.size() - prefix &&
           file[file.size() - 1 - suffix] == out[out.size() - 1 - suffix])
        ++suffix;
    const std::string_view removed = file.substr(prefix, file.size() - prefix - suffix);
    check(file.starts_with("\xFF\xFE") || removed.find_first_of("\r\n") == std::string_view::npos);

    // The value reads back as written (one pair of enclosing quotes removed).
    std::string expected = names.value;
    while (!expected.empty() && expected.back() == ' ')
        expected.pop_back();
    if (expected.size() >= 2 && expected.front() == '"' && expected.back() == '"')
        expected = expected.substr(1, expected.size() - 2);
    check(pelorix::readIniValue(out, names.section, names.key, cp, pelorix::codePages()) == expected);
    return 0;
}
