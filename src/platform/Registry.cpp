#include "platform/Registry.h"

#include "platform/Text.h"

namespace pelorix {

std::string normalizeLibraryPath(std::string_view path) {
    if (startsWithIgnoreCase(path, "\\\\?\\UNC\\"))
        return "\\\\" + std::string(path.substr(8));
    // "\\?\unix\" names a host path outside every drive: that prefix is part of the path.
    if (path.starts_with("\\\\?\\") && !startsWithIgnoreCase(path, "\\\\?\\unix\\"))
        return std::string(path.substr(4));
    return std::string(path);
}

} // namespace pelorix
