#include "platform/FileSystemObject.h"

#include "platform/DriveMap.h"
#include "platform/RuntimeError.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace pelorix {
namespace {

bool statWindowsPath(std::string_view path, struct stat& st) {
    if (path.empty())
        return false;
    const auto host = DriveMap::current().toHost(path);
    return host && ::stat(host->c_str(), &st) == 0;
}

} // namespace

bool FileSystemObject::FileExists(std::string_view path) const {
    struct stat st {};
    return statWindowsPath(path, st) && !S_ISDIR(st.st_mode);
}

bool FileSystemObject::FolderExists(std::string_view path) const {
    struct stat st {};
    return statWindowsPath(path, st) && S_ISDIR(st.st_mode);
}

void FileSystemObject::DeleteFile(std::string_view path, bool force) const {
    struct stat st {};
    const auto host = path.empty() ? std::nullopt : DriveMap::current().toHost(path);
    if (!host || ::stat(host->c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        throw vberr::make(vberr::FileNotFound);
    if (!force && (st.st_mode & S_IWUSR) == 0)
        throw vberr::make(vberr::PermissionDenied);
    if (::unlink(host->c_str()) != 0)
        throw vberr::make(errno == ENOENT ? vberr::FileNotFound : vberr::PermissionDenied);
}

std::int64_t FileSystemObject::GetFileSize(std::string_view path) const {
    struct stat st {};
    if (!statWindowsPath(path, st) || S_ISDIR(st.st_mode))
        throw vberr::make(vberr::FileNotFound);
    return static_cast<std::int64_t>(st.st_size);
}

} // namespace pelorix
