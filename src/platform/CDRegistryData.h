#pragma once

#include "platform/CFWin32API.h"
#include "platform/ErrorConvention.h"
#include "platform/TimeFormat.h"

#include <string>
#include <string_view>
#include <vector>

namespace pelorix {

// The registry data the program needs: the type-library registrations under a key of
// HKEY_CLASSES_ROOT, and the command line the shell associates with a file extension. It keeps
// no state between calls; every user creates its own instance.
class CDRegistryData : public ErrorHolder {
public:
    CDRegistryData() : ErrorHolder("CDRegistryData") {}

    // Walks the registrations below root\subKey ("TypeLib") and fills the three index-aligned
    // lists, which start empty: for each registration its library path (the win32 key's default
    // value, "" when unreadable), its key path relative to root up to "\win32", and the win32
    // key's last-write time in local time.
    void fSetRegistryData(HKEY root, std::string_view subKey, std::vector<std::string>& libraryPaths,
                          std::vector<std::string>& keyPaths, std::vector<VbDate>& writeTimes);

    // The command line registered for the extension (".vbp") and verb path ("shell\open\command"),
    // exactly as stored; "" when any step of the look-up finds nothing. Never raises.
    std::string fGetShellExProgPath(std::string_view extension, std::string_view verbPath);
};

} // namespace pelorix
