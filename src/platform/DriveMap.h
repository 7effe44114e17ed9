#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelorix {

// The drive letters the compiler sees. On Linux those of the Wine prefix: each link "x:" in
// dosdevices/ names the host folder of drive X:, and a letter without a link is no drive; without
// a prefix Z: is the host's root folder, as in a default prefix. Windows paths inside the program
// are mapped to host paths here, and host paths that enter the program (arguments, dialogs) are
// mapped to Windows paths here, once. On Windows the drives are the system's own and a path needs
// no mapping: both directions only make a path absolute, from the current folder.
class DriveMap {
public:
    struct Drive {
        std::string letter;     // "C:"
        std::string hostFolder; // canonical host folder, no trailing "/" unless it is "/"
    };

    // The drives as they are now (on Linux those of winePrefix()).
    DriveMap();

    // The current map, read again when the drives change (on Linux: when dosdevices/ changes).
    static std::shared_ptr<const DriveMap> currentShared();
    static const DriveMap& current();

    // The host path of a Windows path, or nothing when its drive is not mapped. Each component
    // that does not exist with its exact name is looked up without regard to case, as Wine does;
    // "." and ".." are resolved; components that do not exist are kept as written. In a 64-bit
    // prefix C:\windows\system32 maps to syswow64, as the 32-bit program sees it.
    std::optional<std::string> toHost(std::string_view windowsPath) const;

    // The Windows path of a host path (relative paths are taken from the current folder); the
    // deepest mapped drive wins. A path no drive holds takes Wine's form "\\?\unix\...", which
    // toHost maps back.
    std::string toWindows(std::string_view hostPath) const;

    // The drives in alphabetical order.
    const std::vector<Drive>& drives() const noexcept { return m_drives; }

private:
    const Drive* findDrive(char letter) const;

    std::vector<Drive> m_drives;
    bool m_wow64 = false;
};

// Convenience: DriveMap::current().toHost(path) or "" when the path has no host form.
std::string hostPathOf(std::string_view windowsPath);

} // namespace pelorix
