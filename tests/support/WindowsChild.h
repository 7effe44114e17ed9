#pragma once

// Child processes of the tests on Windows, and the running processes of a program.
#ifdef _WIN32

#include "platform/win32/WindowsApi.h"
#include "support/TestEnvironment.h"

#include <filesystem>
#include <set>
#include <string>
#include <vector>
// after windows.h, whose types it uses
#include <tlhelp32.h>

namespace pelorix::test {

// The ids of the running processes of a program, by its file name ("vb6-standin.exe"). Each test
// program runs in a system of its own (a Wine prefix of its own), so they are the test's.
inline std::set<DWORD> runningProcessesNamed(const std::string& fileName) {
    const std::wstring name = winapi::wide(fileName);
    std::set<DWORD> found;
    const winapi::UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
         more = ::Process32NextW(snapshot.get(), &entry))
        if (_wcsicmp(entry.szExeFile, name.c_str()) == 0)
            found.insert(entry.th32ProcessID);
    return found;
}

// A program run as a child process (each argument quoted whole), its standard output going to
// FOLDER/out.txt or to a pipe that pipedOut() reads to its end, its standard error to
// FOLDER/err.txt or to the handle given (a console's screen). It has a console process group of
// its own unless it is to receive the console's events with the test. A child still running
// when the object goes is ended.
struct ChildOptions {
    bool pipedOut = false;
    HANDLE errorOn = nullptr;
    bool consoleEvents = false;
};

class ChildRun {
public:
    ChildRun(const std::vector<std::string>& args, const std::string& folder, ChildOptions options = {})
        : m_out(folder + "/out.txt"), m_err(folder + "/err.txt") {
        std::filesystem::create_directories(folder);
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        const auto create = [&](const std::string& path) {
            return winapi::UniqueHandle(::CreateFileW(winapi::widePath(path).c_str(), GENERIC_WRITE,
                                                      FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        };
        winapi::UniqueHandle out;
        if (options.pipedOut) {
            HANDLE read = nullptr, write = nullptr;
            if (::CreatePipe(&read, &write, &inherit, 0)) {
                m_pipe = winapi::UniqueHandle(read);
                out = winapi::UniqueHandle(write);
                ::SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
            }
        } else {
            out = create(m_out);
        }
        const winapi::UniqueHandle err = create(m_err);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = out.get();
        startup.hStdError = options.errorOn != nullptr ? options.errorOn : err.get();
        std::string line;
        for (const std::string& a : args)
            line += (line.empty() ? "\"" : " \"") + a + "\"";
        std::wstring wideLine = winapi::wide(line);
        const DWORD flags =
            CREATE_UNICODE_ENVIRONMENT | (options.consoleEvents ? 0 : CREATE_NEW_PROCESS_GROUP);
        PROCESS_INFORMATION started{};
        if (::CreateProcessW(nullptr, wideLine.data(), nullptr, nullptr, TRUE, flags, nullptr, nullptr,
                             &startup, &started)) {
            m_process = winapi::UniqueHandle(started.hProcess);
            m_pid = started.dwProcessId;
            ::CloseHandle(started.hThread);
        }
    }
    ~ChildRun() {
        if (running()) {
            terminate();
            ::WaitForSingleObject(m_process.get(), 10000);
        }
    }
    ChildRun(const ChildRun&) = delete;
    ChildRun& operator=(const ChildRun&) = delete;

    DWORD pid() const noexcept { return m_pid; }
    bool running() const { return m_process && ::WaitForSingleObject(m_process.get(), 0) == WAIT_TIMEOUT; }
    void terminate() const { ::TerminateProcess(m_process.get(), 1); }
    // The exit status once the child ended within the bound; -1 when it did not.
    int exitStatus(DWORD boundMs = 30000) const {
        DWORD status = 0;
        if (!m_process || ::WaitForSingleObject(m_process.get(), boundMs) != WAIT_OBJECT_0 ||
            ::GetExitCodeProcess(m_process.get(), &status) == 0)
            return -1;
        return static_cast<int>(status);
    }
    // What the child wrote to the pipe, read until every holder of its other end closed it.
    std::string pipedOut() const {
        std::string text;
        char buffer[4096];
        DWORD got = 0;
        while (m_pipe && ::ReadFile(m_pipe.get(), buffer, sizeof buffer, &got, nullptr) && got > 0)
            text.append(buffer, got);
        return text;
    }
    std::string out() const { return readFile(m_out); }
    std::string err() const { return readFile(m_err); }

private:
    std::string m_out;
    std::string m_err;
    winapi::UniqueHandle m_process;
    winapi::UniqueHandle m_pipe;
    DWORD m_pid = 0;
};

} // namespace pelorix::test

#endif
