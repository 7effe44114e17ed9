// Reads arbitrary bytes as a compiler log, in pieces of a size the first byte chooses, and as a
// log that a compiler log refers to: nothing may crash, the classification is the same whatever
// the pieces, what is kept stays bounded, and every location and referred path is one the line
// parsers give for a kept line.
#include "engine/CompilerLog.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

pelorix::CompilerLogResult read(std::string_view bytes, std::size_t piece, bool classify) {
    pelorix::CompilerLogReader reader(classify);
    for (std::size_t i = 0; i < bytes.size(); i += piece)
        if (!reader.add(bytes.substr(i, piece)))
            break;
    return reader.finish();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ::setenv("PELORIX_CODEPAGE", "CP932", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    using namespace pelorix;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::size_t piece = 1 + data[0] % 64;

    const CompilerLogResult whole = read(bytes, bytes.size() + 1, true);
    const CompilerLogResult pieces = read(bytes, piece, true);
    check(whole.code == pieces.code && whole.lines == pieces.lines &&
          whole.decidingLine == pieces.decidingLine);
    check(whole.compileErrors == pieces.compileErrors);
    check(whole.compileErrors.size() <= CompilerLogBounds::Locations);
    check(whole.referredLogs.size() <= CompilerLogBounds::ReferredLogs);
    check(whole.decidingLine < static_cast<std::int32_t>(whole.lines.size()));
    check((whole.code == BuildResult::EmptyLog) == (whole.decidingLine < 0));
    for (const CompileErrorLocation& location : whole.compileErrors)
        check(location.line >= 1);
    for (const std::string& line : whole.lines) {
        check(line.size() <= CompilerLogBounds::LineBytes + 128);
        if (const auto location = parseCompileErrorLine(line))
            check(location->line >= 1 && location->file.size() < line.size());
        if (const auto path = referredLogPath(line))
            check(!path->empty() && path->size() < line.size());
    }
    const CompilerLogResult referred = read(bytes, piece, false);
    check(referred.compileErrors.empty() && referred.referredLogs.empty());
    compilerLogNotes(whole);
    return 0;
}
