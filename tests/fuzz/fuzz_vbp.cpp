// Reads arbitrary bytes as a project file: nothing may crash, the only error is the one for a
// quoted key's line with a single double quote, and the line ends do not matter (the same lines
// ended in CR LF read into the same record and the same keys). The keys as the compiler reads
// them agree with themselves: every key line is found by its number, and a key's value is its
// last line's.
#include "platform/RuntimeError.h"
#include "platform/Text.h"
#include "projectdata/ProjectDependencies.h"
#include "projectdata/ProjectFileKeys.h"
#include "projectdata/ProjectFileReader.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

bool read(std::string_view bytes, pelorix::ProjectRecord& record) {
    try {
        pelorix::readProjectFileBytes(bytes, record);
        return true;
    } catch (const pelorix::RuntimeError& e) {
        check(e.number() == pelorix::vberr::InvalidArgument);
        return false;
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ::setenv("PELORIX_CODEPAGE", "CP932", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    pelorix::ProjectRecord record;
    const bool ok = read(bytes, record);

    std::string crlf;
    for (const auto line : pelorix::splitLines(bytes)) {
        crlf.append(line);
        crlf.append("\r\n");
    }
    pelorix::ProjectRecord again;
    check(read(crlf, again) == ok);
    if (ok) {
        check(again == record);
    }

    const auto keys = pelorix::ProjectFileKeys::parse(bytes);
    const auto keysAgain = pelorix::ProjectFileKeys::parse(crlf);
    check(keys.lines().size() == keysAgain.lines().size());
    std::int32_t previous = 0;
    for (const pelorix::ProjectKeyLine& line : keys.lines()) {
        check(line.lineNumber > previous && keys.keyOf(line.lineNumber) == line.key);
        check(line.key.find('=') == std::string::npos && line.text == line.key + "=" + line.value);
        check(keys.isLastOfItsKey(line.lineNumber) == (keys.find(line.key) == &line));
        previous = line.lineNumber;
    }
    pelorix::parseProjectFacts("C:\\p\\P.vbp", bytes);
    return 0;
}
