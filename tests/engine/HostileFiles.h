#pragma once

// Files and processes that stand in the program's way, made the way each system makes them.

#include "support/TestEnvironment.h"

#include <filesystem>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <fcntl.h>
#include <linux/fs.h>
#include <spawn.h>
#include <sys/ioctl.h>
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

// A file the file system marks immutable while the object lives (Linux): not even the superuser
// may write or replace it. Setting the mark takes the right to (CAP_LINUX_IMMUTABLE) and a file
// system that keeps it: set() tells whether it took. Elsewhere nothing is marked.
class ImmutableFile {
public:
    explicit ImmutableFile(const std::string& hostPath) : m_path(hostPath) { m_set = mark(true); }
    ~ImmutableFile() {
        if (m_set)
            mark(false);
    }
    ImmutableFile(const ImmutableFile&) = delete;
    ImmutableFile& operator=(const ImmutableFile&) = delete;

    bool set() const noexcept { return m_set; }

private:
    bool mark(bool on) const {
#ifdef _WIN32
        static_cast<void>(on);
        return false;
#else
        const int fd = ::open(m_path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        int flags = 0;
        bool done = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        done = done && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        if (fd >= 0)
            ::close(fd);
        return done;
#endif
    }

    std::string m_path;
    bool m_set = false;
};

#ifndef _WIN32
// A process started for the test that runs until the test ends it, by its id.
class OwnProcess {
public:
    OwnProcess() {
        const char* argv[] = {"sleep", "600", nullptr};
        EXPECT_EQ(::posix_spawnp(&pid, "sleep", nullptr, nullptr, const_cast<char**>(argv), environ), 0);
    }
    ~OwnProcess() { end(); }
    OwnProcess(const OwnProcess&) = delete;
    OwnProcess& operator=(const OwnProcess&) = delete;

    void end() {
        if (pid > 0 && ::kill(pid, SIGKILL) == 0)
            ::waitpid(pid, nullptr, 0);
        pid = 0;
    }

    pid_t pid = 0;
};
#endif

} // namespace pelorix::test
