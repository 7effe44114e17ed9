#pragma once

// Finding Wine's programs and making a real prefix with them, for tests that check the program
// against files no one here wrote. Each caller skips when Wine is not installed.

#include "support/TestEnvironment.h"

#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <unistd.h>

namespace pelorix::test {

// The first of the candidates that exists as an executable, looking bare names up in PATH; ""
// when none does.
inline std::string findProgram(std::initializer_list<std::string_view> candidates) {
    for (std::string_view c : candidates) {
        if (c.find('/') != std::string_view::npos) {
            if (::access(std::string(c).c_str(), X_OK) == 0)
                return std::string(c);
            continue;
        }
        const char* path = std::getenv("PATH");
        std::istringstream dirs(path != nullptr ? path : "");
        for (std::string dir; std::getline(dirs, dir, ':');) {
            const std::string full = dir + "/" + std::string(c);
            if (!dir.empty() && ::access(full.c_str(), X_OK) == 0)
                return full;
        }
    }
    return {};
}

inline constexpr const char* wineI386Tree = "/usr/lib/i386-linux-gnu/wine/i386-windows";
inline constexpr const char* wineX86_64Tree = "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows";

// Makes a fresh 32-bit prefix with wineboot inside the environment's folder (Wine's own home
// folders there too, so nothing reaches the user's) and waits until its server has written the
// registry. Returns the prefix's host folder, or the failure text.
struct WinebootResult {
    std::string prefix;
    std::string failure;
};

// The variables a shell command sets to run Wine in a prefix of the environment's folder, with
// Wine's home folders there too: "HOME=... WINEPREFIX=... ".
inline std::string wineVariables(const TestEnvironment& env, const std::string& prefix) {
    const std::string home = env.root() + "/wine-home";
    std::filesystem::create_directories(home);
    return "HOME='" + home + "' XDG_CONFIG_HOME='" + home + "/.config' XDG_DATA_HOME='" + home +
           "/.local/share' WINEPREFIX='" + prefix +
           "' WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=;winemenubuilder.exe=d' ";
}

inline std::optional<WinebootResult> makeWinebootPrefix(const TestEnvironment& env) {
    const std::string wine = findProgram({"/usr/lib/wine/wine", "wine"});
    const std::string wineserver = findProgram({"/usr/lib/wine/wineserver", "wineserver"});
    if (wine.empty() || wineserver.empty() || !std::filesystem::is_directory(wineI386Tree))
        return std::nullopt;
    WinebootResult r;
    r.prefix = env.root() + "/wineboot-prefix";
    const std::string vars = wineVariables(env, r.prefix);
    const std::string log = env.root() + "/wineboot.log";
    const std::string command =
        vars + "'" + wine + "' wineboot -i >'" + log + "' 2>&1; " + vars + "'" + wineserver + "' -w";
    if (std::system(command.c_str()) != 0 || !std::filesystem::exists(r.prefix + "/system.reg"))
        r.failure = "wineboot failed: " + readFile(log);
    return r;
}

} // namespace pelorix::test
