// On Windows a path of the program is a path of the system: the drives are the system's own, and
// no path needs mapping. Relative paths are made absolute from the current folder.
#include "platform/DriveMap.h"

#include "platform/Text.h"
#include "platform/win32/WindowsApi.h"

#include <vector>

namespace pelorix {
namespace {

std::string fullPath(std::string_view path) {
    const std::wstring w = winapi::wide(path);
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n =
            ::GetFullPathNameW(w.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
        if (n == 0)
            return std::string(path);
        if (n < buffer.size())
            return winapi::narrow(std::wstring_view(buffer.data(), n));
        buffer.resize(n);
    }
}

} // namespace

DriveMap::DriveMap() {
    const DWORD letters = ::GetLogicalDrives();
    for (int i = 0; i < 26; ++i)
        if ((letters & (1u << i)) != 0) {
            const std::string letter{static_cast<char>('A' + i), ':'};
            m_drives.push_back({letter, letter + "\\"});
        }
}

std::shared_ptr<const DriveMap> DriveMap::currentShared() {
    return std::make_shared<const DriveMap>();
}

const DriveMap& DriveMap::current() {
    thread_local std::shared_ptr<const DriveMap> held;
    if (!held)
        held = currentShared();
    return *held;
}

std::optional<std::string> DriveMap::toHost(std::string_view windowsPath) const {
    if (windowsPath.empty())
        return fullPath(".");
    return fullPath(windowsPath);
}

std::string DriveMap::toWindows(std::string_view hostPath) const {
    return fullPath(hostPath.empty() ? std::string_view(".") : hostPath);
}

std::string hostPathOf(std::string_view windowsPath) {
    return DriveMap::current().toHost(windowsPath).value_or(std::string());
}

} // namespace pelorix
