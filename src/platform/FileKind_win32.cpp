#include "platform/FileKind.h"
#include "platform/HostFile.h"
#include "platform/Win32Error.h"
#include "platform/WindowsApi.h"

#include <algorithm>

namespace pelorix {
namespace {

// The file a path leads to, opened for its attributes alone (folders included).
winapi::UniqueHandle openForInformation(const std::string& hostPath) {
    return winapi::UniqueHandle(::CreateFileW(winapi::widePath(hostPath).c_str(), 0,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

} // namespace

HostFileKind hostFileKind(const std::string& hostPath) noexcept {
    try {
        const DWORD attributes = ::GetFileAttributesW(winapi::widePath(hostPath).c_str());
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

std::string linkTargetHostPath(const std::string& hostPath) {
    return finalTargetOf(hostPath);
}

std::int32_t overwriteHostFileInPlace(const std::string& hostPath, std::string_view bytes) {
    const winapi::UniqueHandle file(::CreateFileW(winapi::widePath(hostPath).c_str(), GENERIC_WRITE,
                                                  FILE_SHARE_READ, nullptr, TRUNCATE_EXISTING,
                                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return winapi::lastError();
    while (!bytes.empty()) {
        DWORD written = 0;
        if (::WriteFile(file.get(), bytes.data(),
                        static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30)), &written,
                        nullptr) == 0)
            return winapi::lastError();
        if (written == 0)
            return win32::DiskFull;
        bytes.remove_prefix(written);
    }
    return ::FlushFileBuffers(file.get()) != 0 ? 0 : winapi::lastError();
}

std::int32_t probeHostFileCreation(const std::string& hostPath) {
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
