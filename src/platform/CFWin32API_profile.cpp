// Settings files: one value read or written per call, on Pelorix.ini or any other INI file.
#include "formats/IniFile.h"
#include "platform/CFWin32API.h"
#include "platform/CodePage.h"
#include "platform/DriveMap.h"
#include "platform/Environment.h"
#include "platform/FileKind.h"
#include "platform/HostFile.h"
#include "platform/Win32Error.h"

#include <climits>
#include <memory>

namespace pelorix {
namespace {

constexpr std::size_t kProfileBufferSize = 256;

// A text as the ANSI profile functions receive it: a C string, which ends at its first NUL.
std::string_view asCString(std::string_view text) {
    return text.substr(0, text.find('\0'));
}

// The host path of the file a profile call works on. "" is the settings file beside the
// program, computed afresh on every call; a bare file name lives in the Windows folder, as the
// profile functions look it up. "" when there is no such file (a name that is empty as the
// functions receive it, or a drive that is not mapped).
std::string profileHostPath(std::string_view filePath) {
    if (filePath.empty())
        return hostPathOf(App_Path() + "\\Pelorix.ini");
    filePath = asCString(filePath);
    if (filePath.empty())
        return {};
    if (filePath.find_first_of("\\/") == std::string_view::npos)
        return hostPathOf(getEnvironmentVariable("WINDIR") + "\\" + std::string(filePath));
    return hostPathOf(filePath);
}

} // namespace

std::optional<std::string> settingsFileProblem() {
    const std::string host = profileHostPath({});
    const HostFileKind kind = hostFileKind(host);
    if (kind == HostFileKind::Missing || kind == HostFileKind::Regular)
        return std::nullopt;
    return "the settings file " + host + " is " + std::string(hostFileKindText(kind)) +
           ", not a regular file: every setting keeps its default and none is saved";
}

std::string CFWin32API::GetTerminalProfile(std::string_view sectionName, std::string_view keyName,
                                           std::string_view filePath) {
    return guard("GetTerminalProfile", [&]() -> std::string {
        const std::string host = profileHostPath(filePath);
        if (host.empty())
            return {};
        std::int32_t err = 0;
        const auto bytes = readHostFile(host, &err);
        if (!bytes) {
            SetLastError(err);
            return {};
        }
        auto value = readIniValue(*bytes, asCString(sectionName), asCString(keyName), ansiCodePage(),
                                  codePages(), kProfileBufferSize);
        if (!value || value->empty())
            return {};
        // The caller sees the buffer's text up to its first NUL.
        if (const auto nul = value->find('\0'); nul != std::string::npos)
            value->resize(nul);
        return *value;
    });
}

bool CFWin32API::SetTerminalProfile(std::string_view sectionName, std::string_view keyName,
                                    std::string_view value, std::string_view filePath) {
    return guard("SetTerminalProfile", [&] {
        // A failed write is an expected outcome: it gives False and logs nothing.
        const std::string host = profileHostPath(filePath);
        if (host.empty()) {
            SetLastError(win32::PathNotFound);
            return false;
        }
        const std::string target = linkTargetHostPath(host);
        std::int32_t err = 0;
        const auto old = readHostFile(target, &err);
        if (!old && err != win32::FileNotFound) {
            SetLastError(err);
            return false;
        }
        const std::string oldBytes = old.value_or(std::string());
        const auto updated = writeIniValue(oldBytes, asCString(sectionName), asCString(keyName),
                                           asCString(value), ansiCodePage(), codePages());
        if (!updated) {
            SetLastError(win32::InvalidParameter);
            return false;
        }
        if (old && *updated == oldBytes)
            return true;
        if (const std::int32_t code = writeHostFileAtomically(target, *updated); code != 0) {
            SetLastError(code);
            return false;
        }
        return true;
    });
}

} // namespace pelorix
