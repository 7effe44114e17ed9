#include "platform/FileKind.h"

#include "platform/HostFile.h"
#include "platform/NativeFile.h"
#include "platform/Win32Error.h"
#include "platform/linux/PosixApi.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace pelorix {
namespace {

HostFileKind kindOfMode(mode_t mode) noexcept {
    if (S_ISREG(mode))
        return HostFileKind::Regular;
    if (S_ISDIR(mode))
        return HostFileKind::Folder;
    if (S_ISFIFO(mode))
        return HostFileKind::Fifo;
    if (S_ISSOCK(mode))
        return HostFileKind::Socket;
    return HostFileKind::Device;
}

} // namespace

HostFileKind hostFileKind(const std::string& hostPath) noexcept {
    struct stat st {};
    if (hostPath.empty() || ::stat(hostPath.c_str(), &st) != 0)
        return HostFileKind::Missing;
    return kindOfMode(st.st_mode);
}

HostFileKind hostLinkKind(const std::string& hostPath) noexcept {
    struct stat st {};
    if (hostPath.empty() || ::lstat(hostPath.c_str(), &st) != 0)
        return HostFileKind::Missing;
    if (!S_ISLNK(st.st_mode))
        return kindOfMode(st.st_mode);
    const HostFileKind target = hostFileKind(hostPath);
    return target == HostFileKind::Missing ? HostFileKind::DanglingLink : target;
}

std::optional<HostFileIdentity> hostFileIdentity(const std::string& hostPath) noexcept {
    struct stat st {};
    if (hostPath.empty() || ::stat(hostPath.c_str(), &st) != 0)
        return std::nullopt;
    return HostFileIdentity{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

std::uint64_t hostLinkCount(const std::string& hostPath) noexcept {
    struct stat st {};
    if (hostPath.empty() || ::stat(hostPath.c_str(), &st) != 0)
        return 0;
    return static_cast<std::uint64_t>(st.st_nlink);
}

bool isSymbolicLink(const std::string& hostPath) noexcept {
    struct stat st {};
    return !hostPath.empty() && ::lstat(hostPath.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

std::string linkTargetHostPath(const std::string& hostPath) {
    struct stat st {};
    if (hostPath.empty() || ::lstat(hostPath.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return hostPath;
    const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(hostPath.c_str(), nullptr),
                                                               &std::free);
    return resolved ? std::string(resolved.get()) : hostPath;
}

std::int32_t overwriteHostFileInPlace(const std::string& hostPath, std::string_view bytes) {
    // No O_TRUNC: the file is cut to its new size only once the new bytes are written.
    UniqueFile fd(::open(hostPath.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!fd.valid())
        return win32::fromErrno(errno);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        return win32::fromErrno(errno);
    if (!S_ISREG(st.st_mode))
        return win32::OpenFailed;
    if (const std::int32_t code = writeAll(fd.get(), bytes); code != 0)
        return code;
    if (::ftruncate(fd.get(), static_cast<off_t>(bytes.size())) != 0 || ::fsync(fd.get()) != 0)
        return win32::fromErrno(errno);
    return fd.close();
}

bool folderTakesFiles(const std::string& hostFolder) {
    return ::access(hostFolder.c_str(), W_OK | X_OK) == 0;
}

std::int32_t probeHostFileCreation(const std::string& hostPath) {
    struct stat st {};
    if (::lstat(hostPath.c_str(), &st) == 0)
        return S_ISREG(st.st_mode) ? 0 : win32::AccessDenied;
    const UniqueFile fd(::open(hostPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (!fd.valid())
        return win32::fromErrno(errno);
    ::unlink(hostPath.c_str());
    return 0;
}

} // namespace pelorix
