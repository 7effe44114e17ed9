// Reads arbitrary bytes as a project file: nothing may crash, the only error is the one for a
// quoted key's line with a single double quote, and the line ends do not matter (the same lines
// ended in CR LF read into the same record).
#include "platform/RuntimeError.h"
#include "platform/Text.h"
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
    return 0;
}
