#include "platform/Environment.h"

#include "platform/DriveMap.h"

namespace pelorix {

std::string ansiCodePage() {
    auto cp = hostEnv("PELORIX_CODEPAGE");
    return cp && !cp->empty() ? *cp : std::string("CP932");
}

std::string App_Path() {
    return DriveMap::current().toWindows(programFolderHost());
}

} // namespace pelorix
