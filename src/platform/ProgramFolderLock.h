#pragma once

#include "platform/FileKind.h"
#include "platform/NativeFile.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace pelorix {

// One build at a time per program folder. A build run's compiler logs are files of the program
// folder named after the projects ("<project>.log"), which the run deletes, waits for and reads:
// two runs in one folder would read each other's logs. So a build run, of either front end, holds
// this lock from its start to its end: an exclusive lock (flock, on Windows LockFileEx) on
// "Pelorix.lock" in the program folder. The lock ends with its holder, also when the process is
// killed, so no stale lock is ever left; the file itself stays. The compiler the run starts does
// not inherit it.
//
// A compiler that outlives its run (the window program leaves one that passes its time limit to
// the user; a build killed outright, by SIGKILL or the system running out of memory, leaves its
// compiler unwatched) would go on writing its log after the run has ended, where the next build of
// the same project would read it as its own. So every compiler a run starts is recorded in the
// lock file the moment it starts, by its process number and start time, and its record is cleared
// when the run has collected it (it ended, or the run ended it). A record whose compiler still
// runs makes the lock count as held by another build (the record names its process); the first
// run that finds all of them ended clears the file.
//
// Both systems' builds of one program folder exclude each other: besides the whole-file lock of
// its own system, a build holds a lock on one byte of the lock file far past its end, which Wine
// maps to a POSIX record lock on the host, so a Linux build and a Windows build under Wine in the
// same folder see each other's lock.
class ProgramFolderLock {
public:
    enum class State {
        Held,        // this object holds the lock
        Busy,        // another run holds it, or a compiler one left running still runs
        Unavailable, // the lock file cannot be opened (the program folder is missing, no folder
                     // or not writable); the run itself reports the folder's problem
    };

    // Tries once, without waiting.
    static ProgramFolderLock tryAcquire();
    // Waits until the other run, and any compiler left running, has ended (or the lock is
    // unavailable).
    static ProgramFolderLock acquire();

    // Records a process a build started (a compiler) in the lock file of the program folder, by
    // its number and start time; false when the record could not be written. A process that has
    // ended already needs none.
    static bool recordStrayProcess(int processId);
    // Clears the record of a process the build has collected (ended and reaped).
    static void forgetProcess(int processId);

    // The lock file's name in the program folder.
    static constexpr std::string_view FileName = "Pelorix.lock";

    State state() const noexcept { return m_state; }
    bool held() const noexcept { return m_state == State::Held; }
    // The program folder (host path) the lock belongs to.
    const std::string& folder() const noexcept { return m_folder; }
    // The lock file's host path.
    std::string path() const { return m_folder + "/" + std::string(FileName); }
    // The Win32 code of the failure to open the lock file (Unavailable).
    std::int32_t errorCode() const noexcept { return m_errorCode; }
    // What the lock file's name is when it could not be opened (a folder, a symbolic link to
    // nothing ...); Missing when the cause lies elsewhere.
    HostFileKind lockFileKind() const noexcept { return m_lockFileKind; }
    // The process of a compiler an earlier build left running that makes the lock Busy; 0 when
    // another run holds it.
    int strayProcess() const noexcept { return m_strayProcess; }

    // Ends the lock before the object goes away.
    void release() noexcept;

private:
    struct StrayRecord {
        int processId = 0;
        std::uint64_t startTime = 0;
    };

    static ProgramFolderLock take(bool wait);
    // The first recorded process that still runs, 0 for none; a file whose records have all
    // ended is emptied.
    int runningStray() const;
    // Adds a line to the lock file of the program folder, also while a run holds the lock.
    static bool appendToLockFile(const std::string& line);
    // Replaces the lock file's bytes by what edit makes of them, also while a run holds the lock.
    static void rewriteLockFile(const std::function<std::string(const std::string&)>& edit);

    // Each system's part. Opens the lock file and takes the lock, waiting for it or not; on
    // failure the state or the error code and the lock file's kind say why, and false.
    bool lockFile(bool wait);
    // The lock file of the program folder through a handle of its own, for the records of stray
    // processes, also while a run holds the lock: created when missing when append is true, and
    // none (invalid) when it cannot be opened or is no regular file.
    static UniqueFile openForRecords(const std::string& path, bool append);
    // When a process started, in the system's own unit, so that a process number given to a new
    // process is not taken for the old one; nothing when there is no such process.
    static std::optional<std::uint64_t> processStartTime(int processId);
    // Whether the recorded process, or one it started, still runs (a process that has ended and
    // only waits to be collected does not).
    static bool strayStillRuns(const StrayRecord& record);

    State m_state = State::Unavailable;
    std::string m_folder;
    std::int32_t m_errorCode = 0;
    HostFileKind m_lockFileKind = HostFileKind::Missing;
    int m_strayProcess = 0;
    UniqueFile m_file;
};

} // namespace pelorix
