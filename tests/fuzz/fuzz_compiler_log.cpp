// Reads arbitrary bytes as a compiler log, in pieces of a size the first byte chooses, and as a
// log a compiler log refers to, whole and cut at a line limit: nothing may crash, the pieces change
// nothing, what is kept stays bounded, and the line parsers take every kept line.
#include "engine/CompilerLog.h"

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

pelorix::CompilerLogResult read(std::string_view bytes, std::size_t piece, bool classify,
                                std::size_t lineLimit = 0) {
    pelorix::CompilerLogReader reader(classify, lineLimit);
    for (std::size_t i = 0; i < bytes.size() && reader.add(bytes.substr(i, piece)); i += piece) {
    }
    return reader.finish();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ::setenv("PELORIX_CODEPAGE", "CP932", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pelorix;
    if (size == 0)
        return 0;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const CompilerLogResult whole = read(bytes, bytes.size() + 1, true);
    const CompilerLogResult pieces = read(bytes, 1 + data[0] % 64, true);
    check(whole.code == pieces.code && whole.lines == pieces.lines &&
          whole.compileErrors == pieces.compileErrors);
    check(whole.compileErrors.size() <= CompilerLogBounds::Locations &&
          whole.referredLogs.size() <= CompilerLogBounds::ReferredLogs);
    check((whole.code == BuildResult::EmptyLog) == (whole.decidingLine < 0) &&
          whole.decidingLine < static_cast<std::int32_t>(whole.lines.size()));
    for (const std::string& line : whole.lines) {
        check(line.size() <= CompilerLogBounds::LineBytes + 128);
        if (const auto location = parseCompileErrorLine(line))
            check(location->line >= 1 && location->file.size() < line.size());
        if (const auto path = referredLogPath(line))
            check(!path->empty() && path->size() < line.size());
    }
    const CompilerLogResult referred = read(bytes, 1 + data[0] % 64, false);
    check(referred.compileErrors.empty() && referred.referredLogs.empty());
    // A line limit keeps that many lines at most, and says so when the log went on.
    const CompilerLogResult start = read(bytes, 1 + data[0] % 64, false, 3);
    check(start.lines.size() <= 3 && (start.cut || start.lines == referred.lines));
    compilerLogNotes(whole);
    return 0;
}
