#include "platform/FileSystemObject.h"

#include "platform/DriveMap.h"
#include "platform/FileKind.h"
#include "platform/RuntimeError.h"
#include "platform/win32/WindowsApi.h"

namespace pelorix {
namespace {

// The attributes of the file or folder at a path; false when there is none.
bool attributesOf(std::string_view path, WIN32_FILE_ATTRIBUTE_DATA& data) {
    if (path.empty())
        return false;
    const auto host = DriveMap::current().toHost(path);
    return host && ::GetFileAttributesExW(winapi::widePath(*host).c_str(), GetFileExInfoStandard, &data) != 0;
}

bool isFolder(const WIN32_FILE_ATTRIBUTE_DATA& data) noexcept {
    return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

} // namespace

bool FileSystemObject::FileExists(std::string_view path) const {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (attributesOf(path, data))
        return !isFolder(data);
    // A device (NUL, CON) or a named pipe has no attributes, yet is there: its reader names it.
    const auto host = path.empty() ? std::nullopt : DriveMap::current().toHost(path);
    const HostFileKind kind = host ? hostFileKind(*host) : HostFileKind::Missing;
    return kind == HostFileKind::Device || kind == HostFileKind::Fifo;
}

bool FileSystemObject::FolderExists(std::string_view path) const {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    return attributesOf(path, data) && isFolder(data);
}

void FileSystemObject::DeleteFile(std::string_view path, bool force) const {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!attributesOf(path, data) || isFolder(data))
        throw vberr::make(vberr::FileNotFound);
    const std::wstring host = winapi::widePath(*DriveMap::current().toHost(path));
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
        if (!force)
            throw vberr::make(vberr::PermissionDenied);
        ::SetFileAttributesW(host.c_str(),
                             data.dwFileAttributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    }
    if (::DeleteFileW(host.c_str()) == 0)
        throw vberr::make(::GetLastError() == ERROR_FILE_NOT_FOUND ? vberr::FileNotFound
                                                                   : vberr::PermissionDenied);
}

std::int64_t FileSystemObject::GetFileSize(std::string_view path) const {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!attributesOf(path, data) || isFolder(data))
        throw vberr::make(vberr::FileNotFound);
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(data.nFileSizeHigh) << 32 |
                                     data.nFileSizeLow);
}

} // namespace pelorix
