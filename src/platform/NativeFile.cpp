#include "platform/NativeFile.h"

#include "platform/Win32Error.h"

namespace pelorix {

std::int32_t writeAll(NativeFile file, std::string_view bytes) {
    while (!bytes.empty()) {
        std::size_t written = 0;
        if (const std::int32_t code = writeSome(file, bytes, written); code != 0)
            return code;
        if (written == 0)
            return win32::DiskFull;
        bytes.remove_prefix(written);
    }
    return 0;
}

std::string readFileStart(NativeFile file, std::size_t limit) {
    std::string bytes;
    char buffer[4096];
    std::size_t got = 0;
    while (bytes.size() < limit &&
           readSomeAt(file, bytes.size(), buffer, std::min(sizeof buffer, limit - bytes.size()), got) == 0 &&
           got > 0)
        bytes.append(buffer, got);
    return bytes;
}

} // namespace pelorix
