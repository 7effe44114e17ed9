#include "platform/DosPath.h"

#include "platform/CCCommon.h"

namespace pelorix {

bool isAbsoluteDosPath(std::string_view path) noexcept {
    const bool driveLetter =
        path.size() >= 3 && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    return (driveLetter && path[1] == ':' && path[2] == '\\') || path.starts_with("\\\\");
}

std::string absoluteDosPath(std::string_view path, std::string_view baseFolder) {
    CCCommon common;
    std::string full(path);
    if (full.starts_with('\\') && !full.starts_with("\\\\"))
        full = common.fGetDriveName(baseFolder) + full;
    else if (full.size() >= 2 && full[1] == ':' && !isAbsoluteDosPath(full))
        return {};
    else if (!isAbsoluteDosPath(full))
        full = std::string(baseFolder) + "\\" + full;
    full = common.fGetAbsolutePath(full);
    return isAbsoluteDosPath(full) ? full : std::string();
}

} // namespace pelorix
