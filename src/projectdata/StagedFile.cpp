#include "projectdata/StagedFile.h"

#include "platform/DriveMap.h"
#include "platform/HostFile.h"
#include "platform/RuntimeError.h"
#include "platform/Win32Error.h"
#include "projectdata/ProjectText.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pelorix {
namespace {

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

[[noreturn]] void raiseErrno() {
    throw fileError(win32::fromErrno(errno));
}

} // namespace

mode_t permissionBitsOf(const std::string& hostPath, mode_t fallback) noexcept {
    struct stat st {};
    return ::stat(hostPath.c_str(), &st) == 0 ? (st.st_mode & 07777) : fallback;
}

StagedFile::StagedFile(std::string_view finalWindowsPath) {
    const auto host = DriveMap::current().toHost(finalWindowsPath);
    if (!host || host->empty())
        throw vberr::make(vberr::BadFileNameOrNumber);
    m_finalHost = *host;
    const auto slash = m_finalHost.find_last_of('/');
    const std::string name = slash == std::string::npos ? m_finalHost : m_finalHost.substr(slash + 1);
    m_tempHost = folderOf(m_finalHost) + "/." + name + ".pelorix-XXXXXX";
    const int fd = ::mkostemp(m_tempHost.data(), O_CLOEXEC);
    if (fd < 0)
        raiseErrno();
    ::close(fd);
    m_tempWindows = DriveMap::current().toWindows(m_tempHost);
}

StagedFile::~StagedFile() {
    if (!m_committed)
        ::unlink(m_tempHost.c_str());
}

void StagedFile::write(std::string_view bytes) {
    const int fd = ::open(m_tempHost.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0)
        raiseErrno();
    std::int32_t code = writeAll(fd, bytes);
    if (code == 0 && ::fsync(fd) != 0)
        code = win32::fromErrno(errno);
    if (::close(fd) != 0 && code == 0)
        code = win32::fromErrno(errno);
    if (code != 0)
        throw fileError(code);
}

void StagedFile::setMode(mode_t mode) {
    if (::chmod(m_tempHost.c_str(), mode) != 0)
        raiseErrno();
}

void StagedFile::commit() {
    // The content must be on disk before the name points at it.
    const int fd = ::open(m_tempHost.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
    if (::rename(m_tempHost.c_str(), m_finalHost.c_str()) != 0)
        raiseErrno();
    m_committed = true;
    const int dir = ::open(folderOf(m_finalHost).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

} // namespace pelorix
