// An update killed at any moment leaves the project file whole (its old or its new content) and
// every backup copy whole.
#include "ProjectDataTestSupport.h"
#include "projectdata/IBuildLog.h"

#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace pelorix::test {
namespace {

constexpr const char* Guid = "{00020430-0000-0000-C000-000000000046}";

class CrashTest : public ProjectDataTest {
protected:
    CrashTest() {
        putC("lib/x.tlb", "x");
        for (int i = 0; i < 60; ++i)
            original += std::string("Reference=*\\G") + Guid + "#1.0#0#C:\\lib\\x.tlb#Library " +
                        std::to_string(i) + "\n";
        original += sjis("Title=\"販売管理\"\nCompatibleMode=\"0\"\nCompatibleEXE32=\"a.dll\"\n");
        original += std::string(4000, 'x') + "\n";
        registrations.libraryPaths = {"C:\\lib\\x.tlb"};
        registrations.keyPaths = {std::string("TypeLib\\") + Guid + "\\2.0\\0"};
        registrations.writeTimes = {45000.0};
    }

    void freshProject() {
        for (const auto& name : folderEntries(hostC("proj")))
            ::unlink((hostC("proj") + "/" + name).c_str());
        putC("proj/P.vbp", original);
    }

    // Runs the update in a child process that kills itself at the step the hook picks, or that the
    // parent kills after the delay; returns once the child is gone, with whether the child had
    // put the new content in place (the update's last step) before it went.
    bool runChild(const UpdateStepHook& hook, int killAfterMicroseconds) {
        int replaced[2] = {-1, -1};
        if (::pipe2(replaced, O_CLOEXEC) != 0) {
            ADD_FAILURE() << "no pipe";
            return false;
        }
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::close(replaced[0]);
            data.setRegistrationSource([this] { return registrations; });
            data.CopyBufferSize(64);
            data.setUpdateStepHook([&](UpdateStep step, std::int32_t line) {
                if (step == UpdateStep::Replaced)
                    static_cast<void>(::write(replaced[1], "r", 1));
                if (hook)
                    hook(step, line);
            });
            MemoryBuildLog log;
            try {
                data.fUpdateProjectFileInfo("C:\\proj\\P.vbp", 2, "C:\\Windows", log);
            } catch (...) {
            }
            ::_exit(0);
        }
        ::close(replaced[1]);
        EXPECT_GE(pid, 0);
        if (pid > 0 && killAfterMicroseconds >= 0) {
            ::usleep(static_cast<useconds_t>(killAfterMicroseconds));
            ::kill(pid, SIGKILL);
        }
        int status = 0;
        if (pid > 0)
            ::waitpid(pid, &status, 0);
        char mark = 0;
        const bool done = pid > 0 && ::read(replaced[0], &mark, 1) == 1;
        ::close(replaced[0]);
        return done;
    }

    // The project file is old or new; every backup is the old content.
    void expectWhole(const std::string& updated, const std::string& where) {
        const std::string now = readFile(hostC("proj/P.vbp"));
        EXPECT_TRUE(now == original || now == updated) << where;
        for (const auto& name : folderEntries(hostC("proj"))) {
            if (name.ends_with(".org") || name.ends_with(".bak")) {
                EXPECT_EQ(readFile(hostC("proj/" + name)), original) << where << ": " << name;
            }
        }
    }

    std::string original;
    TypeLibRegistrations registrations;
};

TEST_F(CrashTest, KilledAtEveryStepLeavesWholeFiles) {
    freshProject();
    runChild({}, -1);
    const std::string updated = readFile(hostC("proj/P.vbp"));
    ASSERT_NE(updated, original);
    ASSERT_NE(updated.find("#2.0#0#C:\\lib\\x.tlb#Library 59\r\n"), std::string::npos);

    std::vector<std::pair<UpdateStep, std::int32_t>> points = {{UpdateStep::BackupCopied, 0},
                                                               {UpdateStep::RegistryRead, 0},
                                                               {UpdateStep::NewFileWritten, -1},
                                                               {UpdateStep::Replaced, -1}};
    for (std::int32_t line = 1; line <= 64; line += 7)
        points.emplace_back(UpdateStep::LineDone, line);
    for (const auto& [step, line] : points) {
        freshProject();
        const UpdateStep at = step;
        const std::int32_t atLine = line;
        runChild(
            [at, atLine](UpdateStep s, std::int32_t n) {
                if (s == at && (atLine < 0 || n == atLine))
                    ::raise(SIGKILL);
            },
            -1);
        expectWhole(updated,
                    "step " + std::to_string(static_cast<int>(step)) + " line " + std::to_string(line));
        if (step == UpdateStep::Replaced) {
            EXPECT_EQ(readFile(hostC("proj/P.vbp")), updated);
        }
    }
}

TEST_F(CrashTest, KilledAfterIncreasingDelaysLeavesWholeFiles) {
    freshProject();
    runChild({}, -1);
    const std::string updated = readFile(hostC("proj/P.vbp"));
    // Slow each line down a little so that the kills land all over the update, the chunked copy
    // of the backup included.
    const UpdateStepHook slow = [](UpdateStep s, std::int32_t) {
        if (s == UpdateStep::LineDone)
            ::usleep(100);
    };
    // The delays grow until several kills came after the update was done; those must find the
    // new content, not merely a whole file.
    int late = 0;
    for (int delay = 0; (delay <= 15000 || late < 3) && delay <= 2000000;
         delay = delay < 15000 ? delay + 250 : delay * 3 / 2) {
        freshProject();
        const bool done = runChild(slow, delay);
        expectWhole(updated, "delay " + std::to_string(delay));
        if (done) {
            ++late;
            EXPECT_EQ(readFile(hostC("proj/P.vbp")), updated) << "delay " << delay;
        }
    }
    EXPECT_GE(late, 3) << "no kill came after the update was done";
}

} // namespace
} // namespace pelorix::test
