#include "platform/Environment.h"
#include "platform/ProgramFolderLock.h"
#include "platform/WindowsApi.h"

#include <fcntl.h>
#include <io.h>

namespace pelorix {

ProgramFolderLock ProgramFolderLock::tryAcquire() {
    return take(false);
}

ProgramFolderLock ProgramFolderLock::acquire() {
    return take(true);
}

// The lock file is opened shared, so that a second run can reach the lock to find it held; the
// lock is LockFileEx on its first byte, which the system ends with the handle or the process.
// The handle is not inheritable, so the compiler never holds the lock.
ProgramFolderLock ProgramFolderLock::take(bool wait) {
    ProgramFolderLock lock;
    lock.m_folder = programFolderHost();
    const std::wstring path = winapi::widePath(lock.path());
    winapi::UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        lock.m_errorCode = winapi::lastError();
        return lock;
    }
    OVERLAPPED start{};
    const DWORD flags = LOCKFILE_EXCLUSIVE_LOCK | (wait ? 0 : LOCKFILE_FAIL_IMMEDIATELY);
    if (::LockFileEx(file.get(), flags, 0, 1, 0, &start) == 0) {
        const DWORD code = ::GetLastError();
        if (code == ERROR_LOCK_VIOLATION || code == ERROR_IO_PENDING)
            lock.m_state = State::Busy;
        else
            lock.m_errorCode = static_cast<std::int32_t>(code);
        return lock;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file.get()), _O_RDWR);
    if (fd < 0) {
        lock.m_errorCode = ERROR_NOT_ENOUGH_MEMORY;
        return lock;
    }
    file.release(); // the descriptor owns the handle, and with it the lock
    lock.m_fd = UniqueFd(fd);
    lock.m_state = State::Held;
    return lock;
}

// A compiler is left running only by the window program, which is not built for Windows: the
// record is not kept here, and a false says so.
bool ProgramFolderLock::recordStrayProcess(int processId) {
    static_cast<void>(processId);
    return false;
}

void ProgramFolderLock::release() noexcept {
    m_fd = UniqueFd(); // closing the handle ends the lock
    if (m_state == State::Held)
        m_state = State::Unavailable;
}

} // namespace pelorix
