#pragma once

#include "platform/ProgramFolderLock.h"

#include <functional>
#include <string>

namespace pelorix {

// Whether a build run may start in the program folder: the one rule both front ends follow (see
// ProgramFolderLock.h). A run starts holding the lock; it is refused while another build holds it
// or a compiler an earlier build started still runs, and when the lock file cannot be opened in a
// program folder that is otherwise usable, since a run without the lock could read another's
// compiler logs. Only in a program folder that cannot take the compiler logs at all does the run
// start without the lock: it then names the folder's problem and builds nothing.
struct BuildLockDecision {
    enum class Refusal {
        None,         // the run may start (holding the lock, or in an unusable folder without it)
        OtherBuild,   // another build holds the lock
        LeftCompiler, // a compiler an earlier build started still runs
        CannotOpen,   // the lock file cannot be opened or locked
    };
    ProgramFolderLock lock;
    Refusal refusal = Refusal::None;

    bool refused() const noexcept { return refusal != Refusal::None; }
    // Why the run is refused, for the command line: the folder, the process or the lock file, and
    // what is wrong with it.
    std::string text() const;
    // The same in the words of the window program's message box.
    std::string japaneseText() const;
};

// Takes the build lock for a run. With wait, a run that finds the lock held by another build or a
// compiler waits until they have ended (waiting is told why first), then takes it.
BuildLockDecision takeBuildLock(bool wait, const std::function<void(const std::string& why)>& waiting = {});

} // namespace pelorix
