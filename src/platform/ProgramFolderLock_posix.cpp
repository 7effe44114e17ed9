#include "platform/Environment.h"
#include "platform/ProgramFolderLock.h"
#include "platform/Win32Error.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>

namespace pelorix {

ProgramFolderLock ProgramFolderLock::tryAcquire() {
    return take(false);
}

ProgramFolderLock ProgramFolderLock::acquire() {
    return take(true);
}

ProgramFolderLock ProgramFolderLock::take(bool wait) {
    ProgramFolderLock lock;
    lock.m_folder = programFolderHost();
    const std::string path = lock.m_folder + "/Pelorix.lock";
    lock.m_fd = UniqueFd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644));
    if (!lock.m_fd.valid()) {
        lock.m_errorCode = win32::fromErrno(errno);
        return lock;
    }
    int rc = 0;
    while ((rc = ::flock(lock.m_fd.get(), LOCK_EX | (wait ? 0 : LOCK_NB))) != 0 && errno == EINTR) {
    }
    if (rc == 0) {
        lock.m_state = State::Held;
    } else if (errno == EWOULDBLOCK) {
        lock.m_state = State::Busy;
        lock.m_fd = UniqueFd();
    } else {
        lock.m_errorCode = win32::fromErrno(errno);
        lock.m_fd = UniqueFd();
    }
    return lock;
}

void ProgramFolderLock::release() noexcept {
    m_fd = UniqueFd(); // closing the descriptor ends the flock
    if (m_state == State::Held)
        m_state = State::Unavailable;
}

} // namespace pelorix
