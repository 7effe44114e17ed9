#include "platform/ProgramFolderLock.h"

#include "platform/Environment.h"
#include "platform/FileKind.h"
#include "platform/HostFile.h"
#include "platform/Text.h"
#include "platform/Win32Error.h"
#include "platform/linux/PosixApi.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <vector>

namespace pelorix {
namespace {

// The byte a Windows build under Wine locks with LockFileEx (offset 0x40000000 in its high word):
// Wine holds such a lock as a POSIX record lock on the host file, so a lock of the same byte here
// excludes it, and it this one. An open file description lock (not a process's record lock, which
// closing any descriptor of the file would end) belongs to the lock's own descriptor.
constexpr off_t SharedLockByte = off_t{1} << 62;

// Takes the shared byte's lock; 0, EAGAIN when another holds it, or another errno. A system
// without such locks gives EINVAL: the build goes on with its own lock alone.
int lockSharedByte(int fd, bool wait) {
    struct flock byte {};
    byte.l_type = F_WRLCK;
    byte.l_whence = SEEK_SET;
    byte.l_start = SharedLockByte;
    byte.l_len = 1;
    while (::fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &byte) != 0) {
        if (errno == EINTR)
            continue;
        if (errno == EACCES || errno == EAGAIN)
            return EAGAIN;
        return errno == EINVAL ? 0 : errno;
    }
    return 0;
}

// Whether a process of the group still runs: one whose /proc entry names the group and is no zombie.
bool groupHasLiveMember(int group) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const auto stat = readHostFile(entry.path().string() + "/stat");
        const auto close = stat ? stat->rfind(')') : std::string::npos;
        if (close == std::string::npos)
            continue;
        // After the name: the state, the parent and the group.
        const std::vector<std::string> fields = split(std::string_view(*stat).substr(close + 2), ' ');
        if (fields.size() > 2 && fields[2] == std::to_string(group) && fields[0] != "Z" && fields[0] != "X")
            return true;
    }
    return false;
}

} // namespace

// When a process started, in clock ticks since boot (field 22 of /proc/PID/stat); nothing for a
// process that has ended and only waits to be collected (a zombie, whose parent may be gone).
std::optional<std::uint64_t> ProgramFolderLock::processStartTime(int processId) {
    const auto stat = readHostFile("/proc/" + std::to_string(processId) + "/stat");
    if (!stat)
        return std::nullopt;
    // The command name (field 2) is in parentheses and may hold spaces: count from its end.
    const auto close = stat->rfind(')');
    if (close == std::string::npos)
        return std::nullopt;
    const std::vector<std::string> fields = split(std::string_view(*stat).substr(close + 2), ' ');
    if (fields.size() < 20 || fields[0] == "Z" || fields[0] == "X")
        return std::nullopt;
    try {
        return std::stoull(fields[19]);
    } catch (...) {
        return std::nullopt;
    }
}

// The compiler leads a group of its own; once the leader has gone, the group's number cannot be
// given to a new process while any member of the group lives. Members that have ended and wait to
// be collected (zombies, the leader among them when its parent was killed) do not count.
bool ProgramFolderLock::strayStillRuns(const StrayRecord& record) {
    if (const auto started = processStartTime(record.processId))
        return *started == record.startTime;
    if (::kill(-record.processId, 0) != 0 && errno != EPERM)
        return false;
    return groupHasLiveMember(record.processId);
}

namespace {

// A lock file's name opened with the flags: refused (no regular file) as EINVAL, and never
// through a symbolic link (O_NOFOLLOW) or waiting for a FIFO's writer (O_NONBLOCK).
UniqueFile openRegular(const std::string& path, int flags) {
    UniqueFile file(::open(path.c_str(), flags | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644));
    struct stat st {};
    if (file.valid() && (::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode))) {
        file = UniqueFile();
        errno = EINVAL;
    }
    return file;
}

} // namespace

bool ProgramFolderLock::lockFile(bool wait) {
    const std::string path = this->path();
    m_file = openRegular(path, O_RDWR | O_CREAT);
    if (!m_file.valid()) {
        m_errorCode = win32::lastErrno();
        if (const HostFileKind kind = hostLinkKind(path); kind != HostFileKind::Regular)
            m_lockFileKind = kind;
        // A symbolic link that leads to a file is refused too (O_NOFOLLOW): name it as a link.
        if (isSymbolicLink(path) && m_lockFileKind == HostFileKind::Missing)
            m_lockFileKind = HostFileKind::DanglingLink;
        return false;
    }
    int rc = 0;
    while ((rc = ::flock(m_file.get(), LOCK_EX | (wait ? 0 : LOCK_NB))) != 0 && errno == EINTR) {
    }
    if (rc != 0)
        rc = errno == EWOULDBLOCK ? EAGAIN : errno;
    else
        rc = lockSharedByte(m_file.get(), wait);
    if (rc != 0) {
        if (rc == EAGAIN)
            m_state = State::Busy;
        else
            m_errorCode = win32::fromErrno(rc);
        m_file = UniqueFile();
        return false;
    }
    return true;
}

UniqueFile ProgramFolderLock::openForRecords(const std::string& path, bool append) {
    return openRegular(path, append ? O_WRONLY | O_APPEND | O_CREAT : O_RDWR);
}

} // namespace pelorix
