#include "platform/HostFile.h"

#include "platform/FileKind.h"
#include "platform/Win32Error.h"
#include "platform/win32/WindowsApi.h"

namespace pelorix {

bool isHostSeparator(char c) noexcept {
    return c == '/' || c == '\\';
}

// Shared with readers and writers as the system's own readers share it. A device or a named pipe
// is told by its path and never opened; GetFileType tells what the open found all the same.
UniqueFile openFileForReading(const std::string& hostPath, std::int32_t& error, std::uint64_t& size) {
    if (const HostFileKind kind = hostFileKind(hostPath);
        kind == HostFileKind::Device || kind == HostFileKind::Fifo) {
        error = win32::OpenFailed;
        return UniqueFile();
    }
    UniqueFile file(::CreateFileW(winapi::widePath(hostPath).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        // A folder is refused with AccessDenied, as opening one for its bytes is.
        error = winapi::lastError();
        return file;
    }
    if (::GetFileType(file.get()) != FILE_TYPE_DISK) {
        error = win32::OpenFailed;
        return UniqueFile();
    }
    LARGE_INTEGER length{};
    size = ::GetFileSizeEx(file.get(), &length) != 0 && length.QuadPart > 0
               ? static_cast<std::uint64_t>(length.QuadPart)
               : 0;
    error = 0;
    return file;
}

UniqueFile openFileForAppending(const std::string& hostPath, std::int32_t& error) {
    UniqueFile file(::CreateFileW(winapi::widePath(hostPath).c_str(), FILE_APPEND_DATA,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    error = file ? 0 : winapi::lastError();
    return file;
}

std::int32_t userFileBar(const std::string& hostPath, WriteBar& bar) {
    const DWORD attributes = ::GetFileAttributesW(winapi::widePath(hostPath).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        bar = WriteBar::Missing;
        const DWORD code = ::GetLastError();
        return code == ERROR_FILE_NOT_FOUND ? 0 : static_cast<std::int32_t>(code);
    }
    bar = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0  ? WriteBar::Folder
          : (attributes & FILE_ATTRIBUTE_DEVICE) != 0   ? WriteBar::NotRegular
          : (attributes & FILE_ATTRIBUTE_READONLY) != 0 ? WriteBar::ReadOnly
                                                        : WriteBar::None;
    return 0;
}

} // namespace pelorix
