// pelorix-cli.exe on a Windows console: the progress line of a build shows on the console and
// never in a file, and the console's control events end the compiler with its job and the run as a
// failed build does. The console is a pseudo console of the test's own, read back from its
// screen buffer.
#include "../engine/BuildWorld.h"
#include "platform/StopSignals.h"
#include "platform/win32/ConsoleEvents.h"
#include "platform/win32/WindowsApi.h"
#include "support/WindowsChild.h"

#include <filesystem>
#include <iostream>
#include <set>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace pelorix::test {
namespace {

namespace fs = std::filesystem;

// The attribute that starts a process on a pseudo console (the headers declare it only for newer
// systems).
constexpr DWORD_PTR PseudoConsoleAttribute = 0x00020016;

bool underWine() {
    return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

// The processes now running the stand-in compiler.
std::set<DWORD> standIns() {
    return runningProcessesNamed(fs::path(PELORIX_STANDIN).filename().string());
}

// A pseudo console of 80 columns that this process is attached to for the object's life. A
// console needs a process of its own to attach to: a stand-in that hangs until its project file
// goes, in a process group of its own.
class TestConsole {
public:
    TestConsole()
        : m_project((fs::temp_directory_path() /
                     ("pelorix-console-" + std::to_string(::GetCurrentProcessId()) + ".vbp"))
                        .string()) {
        using Create = HRESULT(WINAPI*)(COORD, HANDLE, HANDLE, DWORD, void**);
        const auto create = reinterpret_cast<Create>(reinterpret_cast<void*>(
            ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "CreatePseudoConsole")));
        if (create == nullptr)
            return;
        HANDLE inputRead = nullptr, inputWrite = nullptr, outputRead = nullptr, outputWrite = nullptr;
        if (!::CreatePipe(&inputRead, &inputWrite, nullptr, 0) ||
            !::CreatePipe(&outputRead, &outputWrite, nullptr, 1 << 20)) // room for all it sends
            return;
        m_input = winapi::UniqueHandle(inputWrite);
        m_output = winapi::UniqueHandle(outputRead);
        const winapi::UniqueHandle ptyInput(inputRead), ptyOutput(outputWrite);
        if (create(COORD{80, 25}, ptyInput.get(), ptyOutput.get(), 0, &m_console) != S_OK)
            return;
        writeFile(m_project, "Type=Exe\r\nStandIn=hang\r\n");
        SIZE_T size = 0;
        ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        std::vector<char> storage(size);
        const auto attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage.data());
        ::InitializeProcThreadAttributeList(attributes, 1, 0, &size);
        ::UpdateProcThreadAttribute(attributes, 0, PseudoConsoleAttribute, m_console, sizeof m_console,
                                    nullptr, nullptr);
        STARTUPINFOEXW startup{};
        startup.StartupInfo.cb = sizeof startup;
        startup.lpAttributeList = attributes;
        std::wstring line = winapi::wide("\"" + TestEnvironment::windowsPath(PELORIX_STANDIN) +
                                         "\" /make \"" + m_project + "\"");
        PROCESS_INFORMATION started{};
        const BOOL ok = ::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE,
                                         EXTENDED_STARTUPINFO_PRESENT | CREATE_NEW_PROCESS_GROUP |
                                             CREATE_UNICODE_ENVIRONMENT,
                                         nullptr, nullptr, &startup.StartupInfo, &started);
        ::DeleteProcThreadAttributeList(attributes);
        if (!ok)
            return;
        m_holder = winapi::UniqueHandle(started.hProcess);
        ::CloseHandle(started.hThread);
        ::FreeConsole();
        if (!eventually([&] { return ::AttachConsole(started.dwProcessId) != 0; }, 10000))
            return;
        m_attached = true;
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        m_screen = winapi::UniqueHandle(::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                                      FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                                      OPEN_EXISTING, 0, nullptr));
    }
    ~TestConsole() {
        m_screen.reset();
        if (m_attached)
            ::FreeConsole();
        if (m_holder) {
            ::TerminateProcess(m_holder.get(), 1);
            ::WaitForSingleObject(m_holder.get(), 5000);
        }
        std::error_code ec;
        fs::remove(m_project, ec);
        using Close = void(WINAPI*)(void*);
        if (m_console != nullptr)
            reinterpret_cast<Close>(reinterpret_cast<void*>(
                ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "ClosePseudoConsole")))(m_console);
    }
    TestConsole(const TestConsole&) = delete;
    TestConsole& operator=(const TestConsole&) = delete;

    bool ready() const { return m_attached && m_screen; }
    // The console's screen buffer, inheritable: a child's standard error on the console.
    HANDLE screen() const { return m_screen.get(); }
    // The characters of the screen's first row, blanks at the end left out.
    std::string firstRow() const {
        wchar_t row[80] = {};
        DWORD got = 0;
        ::ReadConsoleOutputCharacterW(m_screen.get(), row, 80, COORD{0, 0}, &got);
        std::wstring text(row, got);
        text.erase(text.find_last_not_of(L' ') + 1);
        return winapi::narrow(text);
    }

private:
    std::string m_project;
    void* m_console = nullptr;
    winapi::UniqueHandle m_input;
    winapi::UniqueHandle m_output;
    winapi::UniqueHandle m_holder;
    winapi::UniqueHandle m_screen;
    bool m_attached = false;
};

// pelorix-cli.exe building the list with its standard output in a file and its standard error in
// a file or on the console; it shares the test's console and so receives the console's events.
struct CliProcess : ChildRun {
    CliProcess(const std::string& list, const std::string& folder, HANDLE errorOn = nullptr)
        : ChildRun({TestEnvironment::windowsPath(PELORIX_CLI), "build", list, "--all"}, folder,
                   {.errorOn = errorOn, .consoleEvents = true}) {}
};

// On the console the line shows what is being built and is erased at the end; with standard
// error in a file the run prints what it printed before, and nothing of the line.
TEST(Win32Console, TheProgressLineShowsOnTheConsoleAndNeverInAFile) {
    TestConsole console;
    if (!console.ready())
        GTEST_SKIP() << "no pseudo console on this system";
    BuildWorld world;
    const std::string a = world.addProject("a", "Alpha", {"CompatibleMode=\"2\"", "StandIn=sleep:1500"});
    const std::string b = world.addProject("b", "Beta", {});
    const std::string list = world.host(world.writeList({a, b}));

    std::string seen;
    CliProcess onConsole(list, world.env.path("console"), console.screen());
    eventually([&] {
        if (const std::string row = console.firstRow(); !row.empty())
            seen = row;
        return !onConsole.running() || holds(seen, "building Alpha");
    });
    EXPECT_EQ(onConsole.exitStatus(), 0) << onConsole.err();
    EXPECT_TRUE(seen.starts_with("[0/2] building Alpha in ﾊﾞｲﾅﾘ互換")) << seen;
    EXPECT_EQ(console.firstRow(), "") << "the run's end erases the line";

    CliProcess inFile(list, world.env.path("file"));
    EXPECT_EQ(inFile.exitStatus(), 0) << inFile.out() << inFile.err();
    EXPECT_EQ(inFile.err(), "");
    EXPECT_TRUE(inFile.out().ends_with("result=0\n")) << inFile.out();
    EXPECT_EQ(onConsole.out().size(), inFile.out().size()) << onConsole.out() << inFile.out();
}

// Ctrl+C, and Ctrl+Break where the system delivers it, stop a build whose compiler hangs: the
// compiler ends with its job, the log says why, the result lines are printed and the status is
// 128 + the signal's number (130 for SIGINT, 149 for SIGBREAK); the project file and its backups
// are left as the time limit leaves them, and the next project is not built.
TEST(Win32Console, ConsoleEventsEndTheCompilerAndTheRunAsAFailedBuildDoes) {
    TestConsole console;
    if (!console.ready())
        GTEST_SKIP() << "no pseudo console on this system";
    // The events reach every process of the console, this one too.
    struct IgnoreEvents {
        static BOOL WINAPI ignore(DWORD) { return TRUE; }
        IgnoreEvents() { ::SetConsoleCtrlHandler(ignore, TRUE); }
        ~IgnoreEvents() { ::SetConsoleCtrlHandler(ignore, FALSE); }
    } ignoring;
    BuildWorld world;
    world.setting("Build", "ProcessWaitLimit", "1500");
    const std::string a = world.addProject("a", "Alpha", {"CompatibleMode=\"0\"", "StandIn=hang"});
    const std::string b = world.addProject("b", "Beta", {"CompatibleMode=\"0\""});
    const std::string list = world.host(world.writeList({a, b}));
    const std::string original = readFile(world.host(a));

    // The reference: a run that reaches the time limit.
    {
        CliProcess limited(list, world.env.path("limit"));
        EXPECT_EQ(limited.exitStatus(), 1) << limited.err();
    }
    const auto afterFailure = folderOf(world.host(a));
    EXPECT_EQ(afterFailure.at("Alpha.vbp"), original);

    world.setting("Build", "ProcessWaitLimit", "60000");
    std::size_t files = afterFailure.size();
    struct Event {
        DWORD event;
        std::string name;
        int status;
    };
    for (const Event& e : {Event{CTRL_C_EVENT, "SIGINT", 130}, Event{CTRL_BREAK_EVENT, "SIGBREAK", 149}}) {
        SCOPED_TRACE(e.name);
        const std::set<DWORD> before = standIns();
        const std::size_t runs = world.recorded().size();
        CliProcess run(list, world.env.path(e.name));
        ASSERT_TRUE(eventually(
            [&] { return standIns().size() == before.size() + 1 && world.recorded().size() == runs + 1; },
            20000));
        // Ctrl+C cannot be sent to one process group alone: it goes to the whole console.
        if (::GenerateConsoleCtrlEvent(e.event, e.event == CTRL_C_EVENT ? 0 : run.pid()) == 0) {
            if (underWine() && e.event == CTRL_BREAK_EVENT) {
                std::cout << "Wine does not deliver " << e.name << " (GenerateConsoleCtrlEvent fails)\n";
                continue;
            }
            ADD_FAILURE() << "GenerateConsoleCtrlEvent: " << ::GetLastError();
            continue;
        }
        EXPECT_EQ(run.exitStatus(), e.status) << run.err();
        EXPECT_TRUE(eventually([&] { return standIns() == before; }, 3000))
            << "the compiler outlived the run";
        EXPECT_TRUE(holds(run.out(), e.name + "を受信したため、ﾋﾞﾙﾄﾞを中止します。")) << run.out();
        EXPECT_TRUE(
            holds(run.out(), "Alphaのｺﾝﾊﾟｲﾗの終了待ちを中止しました。ｺﾝﾊﾟｲﾗのﾌﾟﾛｾｽを終了させました。"));
        EXPECT_TRUE(run.out().ends_with("NG\t互換なし\t" + a + "\nresult=99\n")) << run.out();
        EXPECT_TRUE(holds(run.err(), "stopped by " + e.name)) << run.err();
        EXPECT_EQ(world.recorded().size(), runs + 1) << "Beta is not built";

        const auto folder = folderOf(world.host(a));
        EXPECT_EQ(folder.size(), files + (afterFailure.size() - 1)) << "one more backup, as after a failure";
        files = folder.size();
        for (const auto& [file, bytes] : folder)
            EXPECT_EQ(bytes, original) << file << " is not whole";
    }
}

// After a closed console, a log-off or a shutdown the system ends the process as soon as the
// handler returns: the handler holds it until the run has ended (its StopSignals has gone), so
// that the project file is put back first. Ctrl+C and Ctrl+Break, and any event outside a run,
// are not held up. (Wine sends no event when its console closes: the handler is called as the
// system would call it.)
TEST(Win32Console, AClosedConsoleWaitsForTheRunToEnd) {
    std::atomic<bool> returned{false};
    std::thread handler;
    {
        const StopSignals run;
        EXPECT_TRUE(handleConsoleEvent(CTRL_BREAK_EVENT));
        EXPECT_EQ(StopSignals::name(run.received()), "SIGBREAK");
        handler = std::thread([&] {
            handleConsoleEvent(CTRL_CLOSE_EVENT);
            returned = true;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_FALSE(returned) << "the handler let the system end the process during the run";
    }
    handler.join();
    EXPECT_TRUE(returned);
    EXPECT_TRUE(handleConsoleEvent(CTRL_SHUTDOWN_EVENT)) << "outside a run it returns at once";
}

} // namespace
} // namespace pelorix::test
