#include "platform/ProgramFolderLock.h"

#include "platform/FileKind.h"
#include "platform/win32/WindowsApi.h"

namespace pelorix {
namespace {

// The byte the lock covers, far past anything the file holds: a byte lock also bars other
// handles, this process's own included, from reading and writing it, and the records of stray
// compilers are written through handles of their own while the run holds the lock.
constexpr DWORD LockedByteHigh = 0x40000000;

} // namespace

// When a process started, as the FILETIME of its creation; nothing when it has ended.
std::optional<std::uint64_t> ProgramFolderLock::processStartTime(int processId) {
    const winapi::UniqueHandle process(
        ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, static_cast<DWORD>(processId)));
    // A process that has ended lives on as an object while someone holds a handle to it.
    if (!process || ::WaitForSingleObject(process.get(), 0) != WAIT_TIMEOUT)
        return std::nullopt;
    FILETIME created{}, exited{}, kernel{}, user{};
    if (::GetProcessTimes(process.get(), &created, &exited, &kernel, &user) == 0)
        return std::nullopt;
    return (static_cast<std::uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

// A process number is given again once its process has ended: another start time is another
// process. The processes the compiler started end with its job.
bool ProgramFolderLock::strayStillRuns(const StrayRecord& record) {
    const auto started = processStartTime(record.processId);
    return started && *started == record.startTime;
}

// The lock file is opened shared, so that a second run can reach the lock to find it held; the
// lock is LockFileEx on one byte, which the system ends with the handle or the process. The
// handle is not inheritable, so the compiler never holds the lock.
bool ProgramFolderLock::lockFile(bool wait) {
    m_file = UniqueFile(::CreateFileW(winapi::widePath(path()).c_str(), GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!m_file) {
        m_errorCode = winapi::lastError();
        // A folder (or a device) in the lock file's place is named as what it is.
        if (const HostFileKind kind = hostLinkKind(path()); kind != HostFileKind::Regular)
            m_lockFileKind = kind;
        return false;
    }
    OVERLAPPED where{};
    where.OffsetHigh = LockedByteHigh;
    const DWORD flags = LOCKFILE_EXCLUSIVE_LOCK | (wait ? 0 : LOCKFILE_FAIL_IMMEDIATELY);
    if (::LockFileEx(m_file.get(), flags, 0, 1, 0, &where) == 0) {
        const DWORD code = ::GetLastError();
        if (code == ERROR_LOCK_VIOLATION || code == ERROR_IO_PENDING)
            m_state = State::Busy;
        else
            m_errorCode = static_cast<std::int32_t>(code);
        m_file = UniqueFile();
        return false;
    }
    return true;
}

UniqueFile ProgramFolderLock::openForRecords(const std::string& path, bool append) {
    UniqueFile file(::CreateFileW(winapi::widePath(path).c_str(),
                                  append ? FILE_APPEND_DATA : GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  append ? OPEN_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file && ::GetFileType(file.get()) != FILE_TYPE_DISK)
        return UniqueFile();
    return file;
}

} // namespace pelorix
