#pragma once

#include <filesystem>
#include <fstream>
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

} // namespace pelorix::test
