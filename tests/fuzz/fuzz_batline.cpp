// Parses arbitrary batch-file lines: nothing may crash, and a line yields either nothing or a
// path ending in ".vbp" whose text stands in the line (quotes aside).
#include "platform/Text.h"
#include "projectdata/CDFileData.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

namespace {
// The project data with the internal steps this target drives reachable.
struct FuzzedFileData : pelorix::CDFileData {
    using CDFileData::pGetProjectFilePath;
};
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ::setenv("PELORIX_HOME", "/nonexistent/pelorix-fuzz-home", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    // The first byte picks the keyword list: the default one or a shorter custom one.
    static const std::vector<std::string> defaults{"/MAKE", "/M",   "/MAKEDLL", "/L",
                                                   "/R",    "/RUN", "/RUNEXIT", "/OUT"};
    static const std::vector<std::string> shortList{"/MAKE", "/OUT"};
    const auto& keyWords = data[0] % 2 == 0 ? defaults : shortList;
    const std::string_view line(reinterpret_cast<const char*>(data + 1), size - 1);

    FuzzedFileData fileData;
    const std::string path = fileData.pGetProjectFilePath(line, keyWords, {});
    if (path.empty())
        return 0;
    check(pelorix::endsWithIgnoreCase(path, ".vbp"));
    // A quoted token loses its quotes: compare with the quotes left out of both.
    const std::string unquotedLine = pelorix::replaceAll(line, "\"", "");
    const std::string unquoted = pelorix::replaceAll(path, "\"", "");
    const bool asWritten = unquotedLine.find(unquoted) != std::string::npos;
    const bool named = unquoted.size() >= 4 &&
                       unquotedLine.find(unquoted.substr(0, unquoted.size() - 4)) != std::string::npos;
    check(asWritten || named);
    check(!pelorix::startsWithIgnoreCase(line, "REM "));
    return 0;
}
