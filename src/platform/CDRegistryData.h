#pragma once

#include "platform/CFWin32API.h"
#include "platform/ErrorConvention.h"
#include "platform/TimeFormat.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pelorix {

// The type-library registrations of the machine, index-aligned: the library file of each
// "win32" key (its default value, "" when unreadable), its key path below the walked root (up to
// but excluding "\win32") and the key's last-write time in local time.
struct TypeLibRegistrations {
    std::vector<std::string> libraryPaths;
    std::vector<std::string> keyPaths;
    std::vector<VbDate> writeTimes;
};

// The registry data the program needs: the type-library registrations under a key of
// HKEY_CLASSES_ROOT, and the command line the shell associates with a file extension.
//
// An instance keeps the result of its last registration walk, because a build walks the
// registrations before every project and the registry rarely changes in between. It keeps the
// three lists together with everything they were read under: what the registry was read as
// (Registry::Contents: on Linux the parsed registry files, an unchanged file keeping its parsed
// object; on Windows the count of the changes the system reported), the root and sub-key,
// the time zone (the times are local) and the ANSI code page (names and texts pass through it).
// The next walk of the same instance hands out the kept lists instead of walking again when all
// of these are the same and the kept walk logged no failure; a walk that logged failures is
// always walked again, so that every walk reports them. How long the result is kept is the
// owner's choice: the project data keeps one instance for its whole life (every build of the
// main window or of the command line reuses it), a one-off caller creates its own.
class CDRegistryData : public ErrorHolder {
public:
    CDRegistryData() : ErrorHolder("CDRegistryData") {}

    // Walks the registrations below root\subKey ("TypeLib") and fills the three index-aligned
    // lists, which start empty.
    void fSetRegistryData(HKEY root, std::string_view subKey, std::vector<std::string>& libraryPaths,
                          std::vector<std::string>& keyPaths, std::vector<VbDate>& writeTimes);

    // The same walk without copying its lists: the object handed out last time when the kept
    // walk is reused, a new one otherwise.
    std::shared_ptr<const TypeLibRegistrations> registrations(HKEY root, std::string_view subKey);

    // The command line registered for the extension (".vbp") and verb path ("shell\open\command"),
    // exactly as stored; "" when any step of the look-up finds nothing. Never raises.
    std::string fGetShellExProgPath(std::string_view extension, std::string_view verbPath);

private:
    struct KeptWalk;
    std::shared_ptr<const TypeLibRegistrations> walk(HKEY root, std::string_view subKey);

    std::shared_ptr<const KeptWalk> m_lastWalk;
};

} // namespace pelorix
