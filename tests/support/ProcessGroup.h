#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <sys/types.h>
#include <vector>

namespace pelorix::test {

// The processes of a process group that still run (zombies, which only wait for their parent or
// the system to collect them, do not count), read from /proc.
inline std::vector<pid_t> runningProcessesOfGroup(pid_t group) {
    std::vector<pid_t> found;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        try {
            if (!std::getline(stat, line))
                continue;
        } catch (const std::ios_base::failure&) {
            continue; // the process ended while its file was read
        }
        const auto close = line.rfind(')');
        if (close == std::string::npos)
            continue;
        // After the name: state, parent, process group.
        std::istringstream rest(line.substr(close + 2));
        char state = 0;
        long parent = 0;
        long pgrp = 0;
        if (rest >> state >> parent >> pgrp && pgrp == group && state != 'Z' && state != 'X')
            found.push_back(static_cast<pid_t>(std::stol(name)));
    }
    return found;
}

// A file of /proc read whole; "" when the process ended while it was read.
inline std::string procFile(const std::filesystem::path& path) {
    try {
        std::ifstream in(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    } catch (const std::ios_base::failure&) {
        return {};
    }
}

// The running processes whose command line starts with the program and holds the text (each
// argument ends in a NUL there), read from /proc. Tests run side by side with the same Windows
// paths, each in a Wine prefix of its own: only the processes that inherited this test's prefix
// (WINEPREFIX, when set) count.
inline std::vector<pid_t> runningProcessesOf(const std::string& program, const std::string& text) {
    const char* prefix = std::getenv("WINEPREFIX");
    const std::string ownPrefix =
        prefix != nullptr ? std::string(1, '\0') + "WINEPREFIX=" + prefix + '\0' : "";
    std::vector<pid_t> found;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const std::string cmdline = procFile(entry.path() / "cmdline");
        if (!cmdline.starts_with(program) || cmdline.find(text) == std::string::npos)
            continue;
        if (!ownPrefix.empty() &&
            ('\0' + procFile(entry.path() / "environ")).find(ownPrefix) == std::string::npos)
            continue;
        if (!runningProcessesOfGroup(static_cast<pid_t>(std::stol(name))).empty())
            found.push_back(static_cast<pid_t>(std::stol(name)));
    }
    return found;
}

} // namespace pelorix::test
