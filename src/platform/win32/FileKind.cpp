#include "platform/FileKind.h"

#include "platform/HostFile.h"
#include "platform/Win32Error.h"
#include "platform/win32/WindowsApi.h"

#include <algorithm>
#include <cwchar>
#include <optional>

namespace pelorix {
namespace {

// The file a path leads to, opened for its attributes alone (folders included).
winapi::UniqueHandle openForInformation(const std::string& hostPath) {
    return winapi::UniqueHandle(::CreateFileW(winapi::widePath(hostPath).c_str(), 0,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

// What a path of the system's device namespace names: the reserved names (NUL, CON, COM1 ...,
// alone or after a folder) resolve to "\\.\NAME" and named pipes lie below "\\.\pipe\".
// Nothing for a path of the file system, which the file's attributes describe.
std::optional<HostFileKind> deviceNamespaceKind(const std::wstring& path) {
    std::wstring full(path.size() + MAX_PATH, L'\0');
    const DWORD length =
        ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0 || length >= full.size())
        return std::nullopt;
    full.resize(length);
    if (!full.starts_with(L"\\\\.\\"))
        return std::nullopt;
    const std::wstring name = full.substr(4);
    if (::_wcsnicmp(name.c_str(), L"pipe\\", 5) == 0)
        return HostFileKind::Fifo;
    if (name.size() >= 2 && name[1] == L':')
        return std::nullopt; // a drive's path spelt in the device namespace
    return HostFileKind::Device;
}

} // namespace

HostFileKind hostFileKind(const std::string& hostPath) noexcept {
    try {
        const std::wstring path = winapi::widePath(hostPath);
        if (const auto device = deviceNamespaceKind(path))
            return *device;
        const DWORD attributes = ::GetFileAttributesW(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES)
            return HostFileKind::Missing;
        if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0)
            return HostFileKind::Device;
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            return HostFileKind::Folder;
        if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && !openForInformation(hostPath))
            return HostFileKind::Missing; // a link that leads nowhere
        return HostFileKind::Regular;
    } catch (...) {
        return HostFileKind::Missing;
    }
}

HostFileKind hostLinkKind(const std::string& hostPath) noexcept {
    try {
        const DWORD attributes = ::GetFileAttributesW(winapi::widePath(hostPath).c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
            !openForInformation(hostPath))
            return HostFileKind::DanglingLink;
    } catch (...) {
    }
    return hostFileKind(hostPath);
}

std::optional<HostFileIdentity> hostFileIdentity(const std::string& hostPath) noexcept {
    try {
        const winapi::UniqueHandle file = openForInformation(hostPath);
        BY_HANDLE_FILE_INFORMATION info{};
        if (!file || ::GetFileInformationByHandle(file.get(), &info) == 0)
            return std::nullopt;
        return HostFileIdentity{info.dwVolumeSerialNumber,
                                static_cast<std::uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow};
    } catch (...) {
        return std::nullopt;
    }
}

std::uint64_t hostLinkCount(const std::string& hostPath) noexcept {
    try {
        const winapi::UniqueHandle file = openForInformation(hostPath);
        BY_HANDLE_FILE_INFORMATION info{};
        if (!file || ::GetFileInformationByHandle(file.get(), &info) == 0)
            return 0;
        return info.nNumberOfLinks;
    } catch (...) {
        return 0;
    }
}

bool isSymbolicLink(const std::string& hostPath) noexcept {
    try {
        const DWORD attributes = ::GetFileAttributesW(winapi::widePath(hostPath).c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    } catch (...) {
        return false;
    }
}

// Every path is asked: a host's symbolic link under Wine is no reparse point, yet the system
// follows it.
std::string linkTargetHostPath(const std::string& hostPath) {
    const winapi::UniqueHandle file = openForInformation(hostPath);
    if (!file)
        return hostPath;
    wchar_t buffer[32768];
    const DWORD n = ::GetFinalPathNameByHandleW(file.get(), buffer, 32768, FILE_NAME_NORMALIZED);
    if (n == 0 || n >= 32768)
        return hostPath;
    std::wstring path(buffer, n);
    // A link's target comes back as "\\?\C:\..."; the program's paths have no such prefix.
    if (path.starts_with(L"\\\\?\\UNC\\"))
        path = L"\\\\" + path.substr(8);
    else if (path.starts_with(L"\\\\?\\"))
        path = path.substr(4);
    return winapi::narrow(path);
}

std::int32_t overwriteHostFileInPlace(const std::string& hostPath, std::string_view bytes) {
    const winapi::UniqueHandle file(::CreateFileW(winapi::widePath(hostPath).c_str(), GENERIC_WRITE,
                                                  FILE_SHARE_READ, nullptr, TRUNCATE_EXISTING,
                                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return winapi::lastError();
    if (const std::int32_t code = writeAll(file.get(), bytes); code != 0)
        return code;
    return flushFile(file.get());
}

bool folderTakesFiles(const std::string& hostFolder) {
    const std::wstring probe =
        winapi::widePath(hostFolder + "\\Pelorix.probe-" + std::to_string(::GetCurrentProcessId()));
    const winapi::UniqueHandle file(::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                                  FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE,
                                                  nullptr));
    return static_cast<bool>(file);
}

std::int32_t probeHostFileCreation(const std::string& hostPath) {
    // A name longer than a folder entry holds (255 characters) is named as such: some file
    // systems answer "not found" instead.
    constexpr std::size_t MaxNameLength = 255;
    const std::wstring path = winapi::widePath(hostPath);
    for (std::size_t start = 0, end = 0; end != std::wstring::npos; start = end + 1) {
        end = path.find_first_of(L"\\/", start);
        if ((end == std::wstring::npos ? path.size() : end) - start > MaxNameLength)
            return win32::FilenameExcedRange;
    }
    switch (hostFileKind(hostPath)) {
    case HostFileKind::Regular:
        return 0;
    case HostFileKind::Missing:
        break;
    default:
        return win32::AccessDenied;
    }
    const winapi::UniqueHandle file(::CreateFileW(winapi::widePath(hostPath).c_str(), GENERIC_WRITE, 0,
                                                  nullptr, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    return file ? 0 : winapi::lastError();
}

} // namespace pelorix
