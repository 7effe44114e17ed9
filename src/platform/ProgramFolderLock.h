#pragma once

#include "platform/UniqueFd.h"

#include <cstdint>
#include <string>

namespace pelorix {

// One build at a time per program folder. A build run's compiler logs are files of the program
// folder named after the projects ("<project>.log"), which the run deletes, waits for and reads:
// two runs in one folder would read each other's logs. So a build run, of either front end, holds
// this lock from its start to its end: an exclusive flock on "Pelorix.lock" in the program
// folder. The lock ends with its holder, also when the process is killed, so no stale lock is
// ever left; the file itself stays. The compiler the run starts does not inherit it.
class ProgramFolderLock {
public:
    enum class State {
        Held,        // this object holds the lock
        Busy,        // another run holds it
        Unavailable, // the lock file cannot be opened (the program folder is missing, no folder
                     // or not writable); the run itself reports the folder's problem
    };

    // Tries once, without waiting.
    static ProgramFolderLock tryAcquire();
    // Waits until the other run has ended (or the lock is unavailable).
    static ProgramFolderLock acquire();

    State state() const noexcept { return m_state; }
    bool held() const noexcept { return m_state == State::Held; }
    // The program folder (host path) the lock belongs to.
    const std::string& folder() const noexcept { return m_folder; }
    // The Win32 code of the failure to open the lock file (Unavailable).
    std::int32_t errorCode() const noexcept { return m_errorCode; }

    // Ends the lock before the object goes away.
    void release() noexcept;

private:
    static ProgramFolderLock take(bool wait);

    State m_state = State::Unavailable;
    std::string m_folder;
    std::int32_t m_errorCode = 0;
    UniqueFd m_fd;
};

} // namespace pelorix
