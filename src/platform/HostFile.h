#pragma once

#include "platform/NativeFile.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace pelorix {

// Whole-file operations on host paths. Failures are reported as Win32 error codes (0 = success).

// Only regular files are read: a folder fails with AccessDenied, a FIFO, device or socket with
// OpenFailed, at once (nothing waits for a writer that may never come).

// The bytes of a file; nothing and the code in err when it cannot be read.
std::optional<std::string> readHostFile(const std::string& hostPath, std::int32_t* err = nullptr);

// Hands the bytes of a file to take, piece by piece in file order, until the end or until take
// returns false; 0 or the code of the failure (a folder is AccessDenied). Memory stays bounded
// whatever the file's size.
std::int32_t readHostFileInPieces(const std::string& hostPath,
                                  const std::function<bool(std::string_view)>& take);

// Replaces (or creates) a file with the given bytes so that no reader ever sees a partial file:
// the bytes are written to a new file beside it, flushed, and renamed over it in one step. An
// existing file keeps its permission bits; a symbolic link stays, the file it leads to is replaced. On
// failure the old file is untouched and nothing is left behind.
std::int32_t writeHostFileAtomically(const std::string& hostPath, std::string_view bytes);

// Replaces (or creates) a file the program keeps for itself (a build state) as
// writeHostFileAtomically does, under the name itself: a symbolic link there is replaced by the
// new file, never followed, so that no file the program did not make is written. A folder there
// fails with AccessDenied and stays.
std::int32_t replaceOwnFileAtomically(const std::string& hostPath, std::string_view bytes);

// Rewrites a file the user keeps (a project list): compose is given the file's bytes ("" for a
// file that does not exist yet) and returns the new ones, which replace the file as
// writeHostFileAtomically does. A symbolic link is followed, so the file it names is rewritten and
// the link stays. Nothing is read or written, and the reason is given, for a folder, for anything
// else that is not a regular file (a FIFO is never opened), and for a file without any write
// permission (the read-only attribute, kept also against the superuser); otherwise the reason is
// the system's text of the failure. Nothing when the file was written.
std::optional<std::string> rewriteUserFile(const std::string& hostPath,
                                           const std::function<std::string(const std::string&)>& compose);

// Appends bytes to a file (created when missing); the file is open only during this call.
std::int32_t appendHostFile(const std::string& hostPath, std::string_view bytes);

// The system's text of a Win32 code, or "ｴﾗｰ N" when it has none.
std::string failureText(std::int32_t code);

// Where the last name of a host path starts (0 for a bare name).
std::size_t hostNameStart(std::string_view hostPath) noexcept;
// The folder that holds a host path's last name: "." for a bare name; a root keeps its separator
// ("/", on Windows also "C:\").
std::string hostFolderOf(std::string_view hostPath);

// Each system's part of the functions above.

// Whether a character separates the names of a host path: "/", on Windows also "\".
bool isHostSeparator(char c) noexcept;

// Opens a regular file for reading, shared with other readers and writers, and tells its size as
// the system gives it; nothing and the code in error for anything else: a folder is AccessDenied,
// a FIFO, a device or a socket OpenFailed, decided without waiting and without opening a device
// (opening one may act on it, a FIFO nobody writes to would hold the open forever).
UniqueFile openFileForReading(const std::string& hostPath, std::int32_t& error, std::uint64_t& size);

// Opens a file to append to, created when missing; nothing and the code in error.
UniqueFile openFileForAppending(const std::string& hostPath, std::int32_t& error);

// What bars rewriteUserFile from a file (links followed): nothing, no file yet, a folder, no
// regular file, no write permission (the read-only attribute), or a mark of the file system that
// bars even the superuser (Linux: immutable, append-only).
enum class WriteBar { None, Missing, Folder, NotRegular, ReadOnly, Immutable, AppendOnly };
// The bar, or the Win32 code of a failure to look at the file.
std::int32_t userFileBar(const std::string& hostPath, WriteBar& bar);

} // namespace pelorix
