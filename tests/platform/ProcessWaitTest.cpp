// The wait for a started program, the same on both systems: the stand-in compiler is the program,
// ending at once or running until its project file goes.
#include "platform/CFWin32API.h"
#include "platform/UserInterface.h"
#include "support/CountingPump.h"
#include "support/TestEnvironment.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#ifdef _WIN32
#include "support/WindowsChild.h"
#else
#include "support/ProcessGroup.h"
#endif

#include <gtest/gtest.h>

namespace pelorix::test {
namespace {

namespace fs = std::filesystem;

// The processes running the stand-in (each test program runs in a system of its own under Wine;
// on Linux those of this test's project).
std::vector<long> standIns([[maybe_unused]] const std::string& project) {
#ifdef _WIN32
    const auto found = runningProcessesNamed(fs::path(PELORIX_STANDIN).filename().string());
#else
    const auto found = runningProcessesOf(PELORIX_STANDIN, project);
#endif
    return {found.begin(), found.end()};
}

// Whether the process is gone: ended, and on Linux collected too (an ended process nobody
// collected still has its entry in /proc).
bool gone(long process) {
#ifdef _WIN32
    return runningProcessesNamed(fs::path(PELORIX_STANDIN).filename().string())
               .count(static_cast<DWORD>(process)) == 0;
#else
    return !fs::exists("/proc/" + std::to_string(process));
#endif
}

// The wait ends when the program ends, at the time limit, or when the cancel flag is set; pending
// events are handled within each slice (a slice of 0 polls), and the calls for a pass are exact;
// a wait that gave up leaves the program running (until its project goes).
TEST(ProcessWait, EndsWithTheProgramTheLimitOrTheCancelFlagAndHandlesEventsInEachSlice) {
    struct Case {
        const char* name;
        const char* step; // the stand-in's: "error" ends at once, "hang" runs until released
        std::int32_t slice;
        std::int32_t limit;
        int cancelAtCall;  // 0: never
        int releaseAtCall; // the call that takes the project file away; 0: never
        bool ended;
        ProcessWaitEnd end;
        int calls; // exact, or at least -calls when negative
    };
    const Case cases[] = {
        {"ends at once", "error", 10000, 600000, 0, 0, true, ProcessWaitEnd::Ended, -1},
        {"time limit", "hang", 10, 30, 0, 0, false, ProcessWaitEnd::TimeLimit, -1},
        // Two calls inside the slice, one for the pass.
        {"cancel flag", "hang", 60000, 600000, 2, 0, false, ProcessWaitEnd::Cancelled, 3},
        // The single slice reaches the time limit: the wait is true only if events were handled
        // inside it.
        {"events within a long slice", "hang", 5000, 5000, 0, 5, true, ProcessWaitEnd::Ended, -5},
        {"slice 0 until the end", "hang", 0, 600000, 0, 3, true, ProcessWaitEnd::Ended, -3},
        {"slice 0 until the cancel flag", "hang", 0, 600000, 3, 0, false, ProcessWaitEnd::Cancelled, 3},
    };
    TestEnvironment env;
    const std::string project = env.driveC() + "/tools/wait.vbp";
    const std::string command =
        "\"" + TestEnvironment::windowsPath(PELORIX_STANDIN) + "\" /make \"C:\\tools\\wait.vbp\"";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(project, std::string("Type=Exe\r\nStandIn=") + c.step + "\r\n");
        fs::remove(project + ".standin-runs");
        bool cancel = false;
        CountingPump pump;
        pump.onCall = [&](int call) {
            cancel = cancel || call == c.cancelAtCall;
            if (call == c.releaseAtCall)
                fs::remove(project);
        };
        CFWin32API api;
        ProcessWaitEnd end = ProcessWaitEnd::WaitFailed;
        EXPECT_EQ(api.CreateProcess_Execute("", command, 1, c.slice, cancel, c.limit, &pump, &end), c.ended);
        EXPECT_EQ(end, c.end);
        if (c.calls < 0)
            EXPECT_GE(pump.calls, -c.calls);
        else
            EXPECT_EQ(pump.calls, c.calls);
        const std::vector<long> left = standIns("C:\\tools\\wait.vbp");
        EXPECT_EQ(left.size(), c.ended ? 0u : 1u) << "a wait that gave up leaves the program running";
        fs::remove(project);
        for (const long process : left)
            EXPECT_TRUE(eventually([&] { return gone(process); })) << "not collected after it ended";
    }
}

} // namespace
} // namespace pelorix::test
