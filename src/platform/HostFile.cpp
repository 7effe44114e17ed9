#include "platform/HostFile.h"

#include "platform/StagedFile.h"

namespace pelorix {

std::int32_t writeHostFileAtomically(const std::string& hostPath, std::string_view bytes) {
    std::int32_t code = 0;
    auto staged = StagedFile::create(hostPath, code);
    if (!staged)
        return code;
    if ((code = staged->setPermissionBits(permissionBitsOf(hostPath, 0644))) != 0)
        return code;
    if ((code = staged->write(bytes)) != 0)
        return code;
    return staged->commit();
}

} // namespace pelorix
