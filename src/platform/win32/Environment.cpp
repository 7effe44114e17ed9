#include "platform/Environment.h"

#include "platform/FileKind.h"
#include "platform/win32/WindowsApi.h"

#include <vector>

namespace pelorix {
namespace {

std::optional<std::wstring> wideEnv(const std::wstring& name) {
    std::vector<wchar_t> buffer(256);
    for (;;) {
        ::SetLastError(0);
        const DWORD n =
            ::GetEnvironmentVariableW(name.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0)
            return ::GetLastError() == ERROR_ENVVAR_NOT_FOUND ? std::nullopt
                                                              : std::optional<std::wstring>(L"");
        if (n < buffer.size())
            return std::wstring(buffer.data(), n);
        buffer.resize(n);
    }
}

std::string executableFolder() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0)
            return {};
        if (n < buffer.size()) {
            std::wstring path(buffer.data(), n);
            const auto sep = path.find_last_of(L"\\/");
            return sep == std::wstring::npos ? std::string() : winapi::narrow(path.substr(0, sep));
        }
        buffer.resize(buffer.size() * 2);
    }
}

// A copy that the setup program put in place (it leaves this file beside the programs) keeps its
// settings and log out of its folder, as Windows expects of a program under Program Files, also
// where the folder would take files (an administrator's session, Wine).
bool installedCopy(const std::string& folder) {
    return ::GetFileAttributesW(winapi::widePath(folder + "\\Pelorix.installed").c_str()) !=
           INVALID_FILE_ATTRIBUTES;
}

} // namespace

std::optional<std::string> hostEnv(const char* name) {
    auto value = wideEnv(winapi::wide(name));
    if (!value)
        return std::nullopt;
    return winapi::narrow(*value);
}

std::string programFolderHost() {
    if (auto home = hostEnv("PELORIX_HOME"); home && !home->empty())
        return *home;
    if (const std::string exeDir = executableFolder();
        !exeDir.empty() && !installedCopy(exeDir) && folderTakesFiles(exeDir))
        return exeDir;
    const std::string appData = hostEnv("APPDATA").value_or(std::string());
    const std::string folder = (appData.empty() ? executableFolder() : appData) + "\\pelorix";
    ::CreateDirectoryW(winapi::widePath(folder).c_str(), nullptr);
    return folder;
}

std::optional<std::string> registryFolder() {
    return std::nullopt; // the system's own registry
}

std::string getEnvironmentVariable(std::string_view name) {
    if (name.empty())
        return {};
    return hostEnv(std::string(name).c_str()).value_or(std::string());
}

} // namespace pelorix
