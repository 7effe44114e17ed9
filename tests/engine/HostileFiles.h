#pragma once

// Files and processes that stand in the program's way, made the way each system makes them.

#include "support/TestEnvironment.h"

#include <filesystem>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

#include <gtest/gtest.h>

namespace pelorix::test {

// A file the program finds but cannot read while the object lives: on Linux a FIFO nobody writes
// to, on Windows a file another holder keeps open without sharing it.
class BlockedFile {
public:
    explicit BlockedFile(const std::string& hostPath) : m_path(hostPath) {
#ifdef _WIN32
        writeFile(hostPath, "held");
        m_file = ::CreateFileA(hostPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_NE(m_file, INVALID_HANDLE_VALUE) << hostPath;
#else
        std::filesystem::remove(hostPath); // (a file of the world becomes the FIFO)
        EXPECT_EQ(::mkfifo(hostPath.c_str(), 0644), 0) << hostPath;
#endif
    }
    ~BlockedFile() {
#ifdef _WIN32
        if (m_file != INVALID_HANDLE_VALUE)
            ::CloseHandle(m_file);
#endif
    }
    BlockedFile(const BlockedFile&) = delete;
    BlockedFile& operator=(const BlockedFile&) = delete;

    // Whether it is still what it was made as (a FIFO; the held file with its bytes).
    bool intact() const {
#ifdef _WIN32
        return m_file != INVALID_HANDLE_VALUE && ::GetFileType(m_file) == FILE_TYPE_DISK &&
               ::GetFileSize(m_file, nullptr) == 4;
#else
        struct stat st {};
        return ::lstat(m_path.c_str(), &st) == 0 && S_ISFIFO(st.st_mode);
#endif
    }

private:
    std::string m_path;
#ifdef _WIN32
    HANDLE m_file = INVALID_HANDLE_VALUE;
#endif
};

// A process started for the test that runs until the test ends it, by its id.
class OwnProcess {
public:
    OwnProcess() {
#ifdef _WIN32
        // The stand-in compiler of a project that asks it to hang: it waits as long as the file is there.
        m_project = (std::filesystem::temp_directory_path() /
                     ("own-process-" + std::to_string(::GetCurrentProcessId()) + ".vbp"))
                        .string();
        writeFile(m_project, "Type=Exe\r\nStandIn=hang\r\n");
        std::string line =
            "\"" + TestEnvironment::windowsPath(PELORIX_STANDIN) + "\" /make \"" + m_project + "\"";
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        EXPECT_TRUE(::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                                     nullptr, &startup, &info));
        m_process = info.hProcess;
        ::CloseHandle(info.hThread);
        pid = static_cast<int>(info.dwProcessId);
#else
        const char* argv[] = {"sleep", "600", nullptr};
        pid_t started = 0;
        EXPECT_EQ(::posix_spawnp(&started, "sleep", nullptr, nullptr, const_cast<char**>(argv), environ), 0);
        pid = started;
#endif
    }
    ~OwnProcess() {
        end();
    }
    OwnProcess(const OwnProcess&) = delete;
    OwnProcess& operator=(const OwnProcess&) = delete;

    void end() {
#ifdef _WIN32
        if (m_process) {
            ::TerminateProcess(m_process, 1);
            ::WaitForSingleObject(m_process, 10000);
            ::CloseHandle(m_process);
            m_process = nullptr;
            ::DeleteFileA(m_project.c_str());
        }
        pid = 0;
#else
        if (pid > 0 && ::kill(pid, SIGKILL) == 0)
            ::waitpid(pid, nullptr, 0);
        pid = 0;
#endif
    }

    int pid = 0;

private:
#ifdef _WIN32
    HANDLE m_process = nullptr;
    std::string m_project;
#endif
};

} // namespace pelorix::test
