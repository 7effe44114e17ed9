#include "platform/FileSystemObject.h"

#include "platform/DriveMap.h"
#include "platform/RuntimeError.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace pelorix {
namespace {

bool isSeparator(char c) noexcept {
    return c == '\\' || c == '/';
}

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

std::string FileSystemObject::GetParentFolderName(std::string_view path) {
    auto end = static_cast<std::ptrdiff_t>(path.size()) - 1;
    while (end >= 0 && isSeparator(path[static_cast<std::size_t>(end)]))
        --end;
    while (end >= 0 && !isSeparator(path[static_cast<std::size_t>(end)]))
        --end;
    while (end >= 0 && isSeparator(path[static_cast<std::size_t>(end)]))
        --end;
    if (end < 0)
        return {};
    if (end == 1 && path[1] == ':')
        ++end; // a drive's root keeps its separator: "C:\"
    return std::string(path.substr(0, static_cast<std::size_t>(end) + 1));
}

std::string FileSystemObject::GetDriveName(std::string_view path) {
    if (path.size() >= 2 && path[1] == ':' &&
        ((path[0] >= 'a' && path[0] <= 'z') || (path[0] >= 'A' && path[0] <= 'Z')))
        return std::string(path.substr(0, 2));
    if (path.size() > 2 && isSeparator(path[0]) && isSeparator(path[1])) {
        // \\server\share: up to the separator after the share name.
        std::size_t pos = 2;
        while (pos < path.size() && !isSeparator(path[pos]))
            ++pos;
        if (pos == 2 || pos >= path.size())
            return {};
        std::size_t end = pos + 1;
        while (end < path.size() && !isSeparator(path[end]))
            ++end;
        if (end == pos + 1)
            return {};
        return std::string(path.substr(0, end));
    }
    return {};
}

std::vector<std::string> FileSystemObject::Drives() const {
    std::vector<std::string> letters;
    for (const auto& drive : DriveMap::current().drives())
        letters.push_back(drive.letter);
    return letters;
}

} // namespace pelorix
