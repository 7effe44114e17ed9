#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pelorix {

// What a host path names, told without opening it: a FIFO nobody writes to would block an open,
// a device may do anything on one. Links are followed unless a function says otherwise.
enum class HostFileKind {
    Missing, // nothing there (or a symbolic link that leads nowhere)
    Regular, // an ordinary file
    Folder,
    Fifo,   // a named pipe
    Device, // a character or block device
    Socket,
    DanglingLink // a symbolic link whose target does not exist (only hostLinkKind gives it)
};

// The kind of what the path leads to, links followed.
HostFileKind hostFileKind(const std::string& hostPath) noexcept;

// The kind of the name itself: a symbolic link that leads nowhere is a DanglingLink, one that
// leads somewhere is the kind of its target.
HostFileKind hostLinkKind(const std::string& hostPath) noexcept;

// Whether the name itself is a symbolic link (on Windows any reparse point: a link or a junction),
// wherever it leads.
bool isSymbolicLink(const std::string& hostPath) noexcept;

// "a folder", "a pipe (FIFO)", "a device", "a socket", "a symbolic link to nothing",
// "missing", "a regular file": for messages that say what a path names.
std::string_view hostFileKindText(HostFileKind kind) noexcept;

// The same in the words of the program's own messages ("ﾌｫﾙﾀﾞ", "ﾊﾟｲﾌﾟ(FIFO)" ...).
std::string_view hostFileKindTextJapanese(HostFileKind kind) noexcept;

// Which file a path leads to, links followed: two paths name the same file when their identities
// are equal, however they are spelt.
struct HostFileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const HostFileIdentity&) const = default;
};

// Nothing when the path leads to no file.
std::optional<HostFileIdentity> hostFileIdentity(const std::string& hostPath) noexcept;

// How many names (hard links) the file a path leads to has; 0 when there is no such file.
std::uint64_t hostLinkCount(const std::string& hostPath) noexcept;

// The path a chain of symbolic links ends at, so that a file can be replaced where it lies
// instead of replacing the link; the path itself when it is no link or the chain cannot be
// followed (a loop, a dangling end: the caller's own operation then reports the problem). The one
// link resolver of the program: on Windows every path is resolved by the system, as it follows a
// link that is no reparse point too (a host's link under Wine), and comes back normalized.
std::string linkTargetHostPath(const std::string& hostPath);

// Writes bytes over the file in place, keeping the file (its identity, its other names, its
// owner and bits): truncated to the new size, flushed. Unlike a replacement a failure part-way
// leaves a partial file, so callers keep a copy to put back. A Win32 code, 0 when written.
std::int32_t overwriteHostFileInPlace(const std::string& hostPath, std::string_view bytes);

// Whether a new file can be made in the folder: on Linux the folder's write and search permission,
// on Windows a file made there and removed again (the one test that respects every access rule
// of the folder).
bool folderTakesFiles(const std::string& hostFolder);

// Whether a program may create a regular file at the path: 0 when a file can be made there (tried
// by making an empty one and removing it again), else the Win32 code of the cause (a name too long,
// a folder that is missing or not writable). Something already there that is no regular file (a
// folder, a FIFO) gives AccessDenied; a regular file gives 0.
std::int32_t probeHostFileCreation(const std::string& hostPath);

} // namespace pelorix
