#include "platform/FileSystemObject.h"

#include "platform/DriveMap.h"

namespace pelorix {
namespace {

bool isSeparator(char c) noexcept {
    return c == '\\' || c == '/';
}

} // namespace

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
