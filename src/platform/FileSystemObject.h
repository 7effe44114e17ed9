#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pelorix {

// The file system component: existence tests, deletion, sizes and the splitting of Windows paths
// into folder and drive. Paths are Windows paths as the callers hold them (on Linux mapped through
// the prefix's drives); the path helpers are pure text functions that treat "\" and "/" alike.
class FileSystemObject {
public:
    bool FileExists(std::string_view path) const;
    bool FolderExists(std::string_view path) const;

    // Removes a file; with force also a read-only one. Raises 53 for a missing file and 70 when
    // the file may not be removed.
    void DeleteFile(std::string_view path, bool force) const;

    // The size of an existing file in bytes; raises 53 when there is no such file.
    std::int64_t GetFileSize(std::string_view path) const;

    // The path without its last component and without a trailing separator ("" when none).
    static std::string GetParentFolderName(std::string_view path);

    // "X:" for a path that starts with a drive letter and colon, "\\server\share" for a network
    // path, else "".
    static std::string GetDriveName(std::string_view path);

    // The drives' paths ("C:", "Z:" ...) in alphabetical order.
    std::vector<std::string> Drives() const;
};

} // namespace pelorix
