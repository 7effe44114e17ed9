#include "platform/HostFile.h"

#include "platform/FileKind.h"
#include "platform/Win32Error.h"
#include "platform/win32/WindowsApi.h"

#include <algorithm>
#include <io.h>

namespace pelorix {
namespace {

// A file opened for reading, shared with readers and writers as the system's own readers share
// it; a folder is refused with AccessDenied, as opening one for its bytes is, and a device or a
// named pipe with OpenFailed, without opening it (opening one may act on it or wait).
winapi::UniqueHandle openForReading(const std::string& hostPath, std::int32_t& err) {
    if (const HostFileKind kind = hostFileKind(hostPath);
        kind == HostFileKind::Device || kind == HostFileKind::Fifo) {
        err = win32::OpenFailed;
        return winapi::UniqueHandle();
    }
    winapi::UniqueHandle file(::CreateFileW(winapi::widePath(hostPath).c_str(), GENERIC_READ,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    err = file ? 0 : winapi::lastError();
    if (file && ::GetFileType(file.get()) != FILE_TYPE_DISK) {
        err = win32::OpenFailed;
        return winapi::UniqueHandle();
    }
    return file;
}

std::int32_t readPieces(HANDLE file, const std::function<bool(std::string_view)>& take) {
    char buffer[65536];
    for (;;) {
        DWORD got = 0;
        if (::ReadFile(file, buffer, sizeof buffer, &got, nullptr) == 0)
            return winapi::lastError();
        if (got == 0)
            return 0;
        if (!take(std::string_view(buffer, got)))
            return 0;
    }
}

std::int32_t writeAllTo(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        DWORD written = 0;
        if (::WriteFile(file, bytes.data(), chunk, &written, nullptr) == 0)
            return winapi::lastError();
        if (written == 0)
            return win32::DiskFull;
        bytes.remove_prefix(written);
    }
    return 0;
}

} // namespace

std::int32_t readRegularFile(const std::string& hostPath, const std::function<void(std::uint64_t)>& sized,
                             const std::function<bool(std::string_view)>& take) {
    std::int32_t code = 0;
    const winapi::UniqueHandle file = openForReading(hostPath, code);
    if (!file)
        return code;
    LARGE_INTEGER size{};
    sized(::GetFileSizeEx(file.get(), &size) != 0 && size.QuadPart > 0
              ? static_cast<std::uint64_t>(size.QuadPart)
              : 0);
    return readPieces(file.get(), take);
}

std::int32_t writeAll(int fd, std::string_view bytes) {
    const auto file = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    if (file == INVALID_HANDLE_VALUE)
        return win32::InvalidHandle;
    return writeAllTo(file, bytes);
}

std::int32_t appendHostFile(const std::string& hostPath, std::string_view bytes) {
    const winapi::UniqueHandle file(::CreateFileW(winapi::widePath(hostPath).c_str(), FILE_APPEND_DATA,
                                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return winapi::lastError();
    return writeAllTo(file.get(), bytes);
}

std::string finalTargetOf(const std::string& hostPath) {
    const winapi::UniqueHandle file(::CreateFileW(
        winapi::widePath(hostPath).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
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

std::optional<std::string> userFileRefusal(const std::string& hostPath, bool& exists) {
    const DWORD attributes = ::GetFileAttributesW(winapi::widePath(hostPath).c_str());
    exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (!exists) {
        const DWORD code = ::GetLastError();
        return code == ERROR_FILE_NOT_FOUND ? std::nullopt
                                            : std::optional(failureText(static_cast<std::int32_t>(code)));
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return std::string("ﾌｫﾙﾀﾞです。");
    if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0)
        return std::string("通常のﾌｧｲﾙではありません。");
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0)
        return std::string("読み取り専用のﾌｧｲﾙです。");
    return std::nullopt;
}

} // namespace pelorix
