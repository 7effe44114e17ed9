#include "platform/Environment.h"
#include "platform/HostFile.h"
#include "platform/Numbers.h"
#include "platform/ProgramFolderLock.h"
#include "platform/Text.h"
#include "platform/Win32Error.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace pelorix {
namespace {

constexpr std::string_view StrayKey = "stray ";
// How often a build that waits looks again whether a compiler left running has ended.
constexpr auto StrayPollInterval = std::chrono::milliseconds(200);

// When a process started, in clock ticks since boot (field 22 of /proc/PID/stat), so that a
// process number given to a new process is not taken for the old one; nothing when there is no
// such process.
std::optional<std::uint64_t> processStartTime(int processId) {
    const auto stat = readHostFile("/proc/" + std::to_string(processId) + "/stat");
    if (!stat)
        return std::nullopt;
    // The command name (field 2) is in parentheses and may hold spaces: count from its end.
    const auto close = stat->rfind(')');
    if (close == std::string::npos)
        return std::nullopt;
    const std::vector<std::string> fields = split(std::string_view(*stat).substr(close + 2), ' ');
    if (fields.size() < 20)
        return std::nullopt;
    try {
        return std::stoull(fields[19]);
    } catch (...) {
        return std::nullopt;
    }
}

struct StrayRecord {
    int processId = 0;
    std::uint64_t startTime = 0;
};

// Whether a recorded process, or a process of the group it led, still runs. The compiler leads a
// group of its own; once the leader has gone, the group's number cannot be given to a new process
// while any member of the group lives.
bool strayStillRuns(const StrayRecord& record) {
    if (record.processId <= 1)
        return false;
    if (const auto started = processStartTime(record.processId))
        return *started == record.startTime;
    return ::kill(-record.processId, 0) == 0 || errno == EPERM;
}

std::vector<StrayRecord> readStrayRecords(int fd) {
    std::string bytes;
    char buffer[4096];
    ssize_t n = 0;
    off_t offset = 0;
    while ((n = ::pread(fd, buffer, sizeof buffer, offset)) > 0 && bytes.size() < 65536) {
        bytes.append(buffer, static_cast<std::size_t>(n));
        offset += n;
    }
    std::vector<StrayRecord> records;
    for (const std::string& line : split(replaceAll(bytes, "\r", ""), '\n')) {
        if (!line.starts_with(StrayKey))
            continue;
        const std::vector<std::string> fields = split(line.substr(StrayKey.size()), ' ');
        const auto processId = fields.empty() ? std::nullopt : longValue(fields[0]);
        if (!processId || fields.size() < 2)
            continue;
        try {
            records.push_back({*processId, std::stoull(fields[1])});
        } catch (...) {
        }
    }
    return records;
}

// The first recorded process that still runs, 0 for none; a file whose records have all ended is
// emptied.
int runningStray(int fd) {
    for (const StrayRecord& record : readStrayRecords(fd))
        if (strayStillRuns(record))
            return record.processId;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_size > 0)
        static_cast<void>(::ftruncate(fd, 0));
    return 0;
}

} // namespace

ProgramFolderLock ProgramFolderLock::tryAcquire() {
    return take(false);
}

ProgramFolderLock ProgramFolderLock::acquire() {
    return take(true);
}

ProgramFolderLock ProgramFolderLock::take(bool wait) {
    ProgramFolderLock lock;
    lock.m_folder = programFolderHost();
    const std::string path = lock.path();
    lock.m_fd = UniqueFd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644));
    if (lock.m_fd.valid()) {
        struct stat st {};
        if (::fstat(lock.m_fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
            lock.m_fd = UniqueFd();
            errno = EINVAL;
        }
    }
    if (!lock.m_fd.valid()) {
        lock.m_errorCode = win32::fromErrno(errno);
        if (const HostFileKind kind = hostLinkKind(path); kind != HostFileKind::Regular)
            lock.m_lockFileKind = kind;
        // A symbolic link that leads to a file is refused too (O_NOFOLLOW): name it as a link.
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode) &&
            lock.m_lockFileKind == HostFileKind::Missing)
            lock.m_lockFileKind = HostFileKind::DanglingLink;
        return lock;
    }
    int rc = 0;
    while ((rc = ::flock(lock.m_fd.get(), LOCK_EX | (wait ? 0 : LOCK_NB))) != 0 && errno == EINTR) {
    }
    if (rc != 0) {
        if (errno == EWOULDBLOCK) {
            lock.m_state = State::Busy;
        } else {
            lock.m_errorCode = win32::fromErrno(errno);
        }
        lock.m_fd = UniqueFd();
        return lock;
    }
    // The lock is this run's, unless a compiler an earlier run left running still writes its log.
    while ((lock.m_strayProcess = runningStray(lock.m_fd.get())) != 0 && wait)
        std::this_thread::sleep_for(StrayPollInterval);
    if (lock.m_strayProcess != 0) {
        lock.m_state = State::Busy;
        lock.m_fd = UniqueFd();
        return lock;
    }
    lock.m_state = State::Held;
    return lock;
}

bool ProgramFolderLock::recordStrayProcess(int processId) {
    const auto started = processStartTime(processId);
    if (!started)
        return true; // it has ended already
    const std::string path = programFolderHost() + "/Pelorix.lock";
    const UniqueFd fd(
        ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644));
    if (!fd.valid())
        return false;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    return writeAll(fd.get(), std::string(StrayKey) + std::to_string(processId) + " " +
                                  std::to_string(*started) + "\n") == 0;
}

void ProgramFolderLock::release() noexcept {
    m_fd = UniqueFd(); // closing the descriptor ends the flock
    if (m_state == State::Held)
        m_state = State::Unavailable;
}

} // namespace pelorix
