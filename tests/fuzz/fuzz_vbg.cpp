// Reads arbitrary bytes as a project group: nothing may crash, the only error is the one for a
// missing header, every project is an absolute path listed once, and line numbers stay within
// the file and in order.
#include "lists/ProjectGroupFile.h"
#include "platform/RuntimeError.h"
#include "platform/Text.h"

#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ::setenv("PELORIX_CODEPAGE", "CP932", 1);
    // Paths too long for the system's buffer are logged; the log goes to standard error.
    ::setenv("PELORIX_HOME", "/nonexistent/pelorix-fuzz-home", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    pelorix::ProjectGroup group;
    try {
        group = pelorix::parseProjectGroup(bytes, "C:\\groups\\g");
    } catch (const pelorix::RuntimeError& e) {
        check(e.number() == 321);
        return 0;
    }
    const auto lineCount = static_cast<std::int32_t>(pelorix::splitLines(bytes).size());
    std::set<std::string> seen;
    std::int32_t previous = 0;
    for (const auto& project : group.projects) {
        check(!project.path.empty() && !project.written.empty());
        check(project.path.size() >= 2 && (project.path[1] == ':' || project.path.starts_with("\\\\")));
        check(seen.insert(pelorix::toUpper(project.path)).second);
        check(project.lineNumber > previous && project.lineNumber <= lineCount);
        previous = project.lineNumber;
    }
    for (const auto& note : group.notes)
        check(note.lineNumber >= 1 && note.lineNumber <= lineCount && !note.text.empty());
    return 0;
}
