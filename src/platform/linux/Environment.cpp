#include "platform/Environment.h"

#include "platform/FileKind.h"
#include "platform/Text.h"
#include "platform/linux/WinePrefix.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <unistd.h>

extern char** environ;

namespace pelorix {
namespace fs = std::filesystem;

std::optional<std::string> hostEnv(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr)
        return std::nullopt;
    return std::string(value);
}

namespace {

std::string homeFolder() {
    auto home = hostEnv("HOME");
    return home && !home->empty() ? *home : std::string("/");
}

std::string executableFolder() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.parent_path().string();
}

} // namespace

std::string programFolderHost() {
    if (auto home = hostEnv("PELORIX_HOME"); home && !home->empty())
        return *home;
    if (const std::string exeDir = executableFolder(); !exeDir.empty() && folderTakesFiles(exeDir))
        return exeDir;
    auto config = hostEnv("XDG_CONFIG_HOME");
    const fs::path base = config && !config->empty() ? fs::path(*config) : fs::path(homeFolder()) / ".config";
    const fs::path folder = base / "pelorix";
    std::error_code ec;
    fs::create_directories(folder, ec);
    return folder.string();
}

std::string winePrefix() {
    if (auto prefix = hostEnv("WINEPREFIX"); prefix && !prefix->empty())
        return *prefix;
    return homeFolder() + "/.wine";
}

std::optional<std::string> registryFolder() {
    return winePrefix();
}

std::string getEnvironmentVariable(std::string_view name) {
    if (name.empty())
        return {};
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        const std::string_view kv(*entry);
        const auto eq = kv.find('=');
        if (eq != std::string_view::npos && equalsIgnoreCase(kv.substr(0, eq), name))
            return std::string(kv.substr(eq + 1));
    }
    if (equalsIgnoreCase(name, "WINDIR") || equalsIgnoreCase(name, "SystemRoot"))
        return "C:\\windows";
    return {};
}

} // namespace pelorix
