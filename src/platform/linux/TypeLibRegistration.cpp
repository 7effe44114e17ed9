#include "platform/TypeLibRegistration.h"

#include "formats/RegistryFile.h"
#include "platform/DriveMap.h"
#include "platform/Environment.h"
#include "platform/HostFile.h"
#include "platform/ProcessLaunch.h"
#include "platform/RuntimeError.h"
#include "platform/Text.h"
#include "platform/TypeLibFile.h"
#include "platform/linux/WinePrefix.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace pelorix {

namespace {

namespace fs = std::filesystem;

// The registration's run-time errors: a Wine program that failed, and a library not registered.
constexpr std::int32_t RegistrationFailed = 50290; // "error in the application's registration"
constexpr std::int32_t NotRegistered = 5;          // "invalid procedure call or argument"

// How long a Wine program of the registration may take (a prefix Wine brings up to date first
// takes tens of seconds), and how long Wine's server is given to write the registry files.
constexpr auto ImportLimit = std::chrono::seconds(300);
constexpr auto ServerLimit = std::chrono::seconds(60);

// A folder of our own for the script and the Wine program's output, removed afterwards.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (fs::temp_directory_path() / "pelorix-register-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw RuntimeError(RegistrationFailed, "cannot make a folder for the registry script in " +
                                                       fs::temp_directory_path().string());
        m_path = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& path() const noexcept { return m_path; }

private:
    std::string m_path;
};

struct Finished {
    bool ended = false;
    int status = 0;
};

// Runs a program with our environment (Wine quiet, and kept from installing its add-ons where
// the caller says nothing), its output into a file; ends it when it outlives the limit.
Finished runBounded(const std::vector<std::string>& argv, const std::string& outputFile,
                    std::chrono::seconds limit) {
    std::vector<std::string> env;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry)
        env.emplace_back(*entry);
    if (!hostEnv("WINEDEBUG"))
        env.emplace_back("WINEDEBUG=-all");
    if (!hostEnv("WINEDLLOVERRIDES"))
        env.emplace_back("WINEDLLOVERRIDES=mscoree,mshtml=");
    std::vector<char*> argPointers;
    std::vector<char*> envPointers;
    for (const std::string& a : argv)
        argPointers.push_back(const_cast<char*>(a.c_str()));
    for (const std::string& e : env)
        envPointers.push_back(const_cast<char*>(e.c_str()));
    argPointers.push_back(nullptr);
    envPointers.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputFile.c_str(),
                                       O_WRONLY | O_CREAT | O_APPEND, 0600);
    ::posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    pid_t pid = 0;
    const int failed =
        ::posix_spawn(&pid, argv.front().c_str(), &actions, nullptr, argPointers.data(), envPointers.data());
    ::posix_spawn_file_actions_destroy(&actions);
    if (failed != 0)
        throw RuntimeError(RegistrationFailed, "cannot start " + argv.front());
    const auto end = std::chrono::steady_clock::now() + limit;
    Finished finished;
    while (true) {
        const pid_t got = ::waitpid(pid, &finished.status, WNOHANG);
        if (got == pid || (got < 0 && errno != EINTR)) {
            finished.ended = got == pid;
            return finished;
        }
        if (std::chrono::steady_clock::now() >= end) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &finished.status, 0);
            return finished;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

// The Wine loader that runs the prefix's own reg: in a 64-bit prefix the 64-bit one beside wine
// (wine64), whose reg sees the 64-bit view, where the script names both views itself; Wine's
// 32-bit loader would start the 32-bit reg, which sees only the 32-bit view (and deletes there).
std::string registryProgramLoader(const std::string& wine, bool wow64) {
    if (!wow64)
        return wine;
    const std::string beside = (fs::path(wine).parent_path() / "wine64").string();
    return ::access(beside.c_str(), X_OK) == 0 ? beside : wine;
}

std::string wineServerBeside(const std::string& wine) {
    const std::string beside = (fs::path(wine).parent_path() / "wineserver").string();
    for (const std::string& candidate : {beside, std::string("/usr/lib/wine/wineserver")})
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    return findOnHostPath("wineserver");
}

// Imports the script into the prefix with Wine's registry program, then waits for Wine's server
// to write the registry files; "" or a note when it did not end in time.
std::string importIntoPrefix(const std::string& script, bool wow64) {
    const std::string wine = findWine();
    if (wine.empty())
        throw RuntimeError(RegistrationFailed,
                           "Wine is missing (wine on PATH, /usr/lib/wine/wine or PELORIX_WINE): "
                           "install the Debian packages wine64 and wine32:i386");
    const ScratchFolder scratch;
    const std::string scriptFile = scratch.path() + "/registration.reg";
    const std::string output = scratch.path() + "/output.txt";
    if (writeHostFileAtomically(scriptFile, utf16LittleEndianFile(script)) != 0)
        throw RuntimeError(RegistrationFailed, "cannot write the registry script " + scriptFile);
    const Finished imported = runBounded(
        {registryProgramLoader(wine, wow64), "reg", "import", DriveMap::current().toWindows(scriptFile)},
        output, ImportLimit);
    if (!imported.ended || !WIFEXITED(imported.status) || WEXITSTATUS(imported.status) != 0)
        throw RuntimeError(
            RegistrationFailed,
            "Wine's reg import in the prefix " + winePrefix() +
                (imported.ended ? " failed: " : " did not end in time: ") +
                std::string(trimWhite(withoutControlCharacters(readHostFile(output).value_or("")))));
    const std::string server = wineServerBeside(wine);
    if (server.empty() || !runBounded({server, "-w"}, output, ServerLimit).ended)
        return "Wine's server of the prefix " + winePrefix() +
               " still runs: programs in the prefix see the registration, its registry files get it when the "
               "server ends";
    return {};
}

std::optional<RegistryFile> hive(RegistrationScope scope) {
    const auto bytes =
        readHostFile(winePrefix() + (scope == RegistrationScope::User ? "/user.reg" : "/system.reg"));
    return bytes ? RegistryFile::parse(*bytes) : std::nullopt;
}

std::optional<std::vector<std::string>> subKeysOf(const std::optional<RegistryFile>& file,
                                                  std::string_view key) {
    const RegistryKey* found = file ? file->find("Software\\Classes\\" + std::string(key)) : nullptr;
    if (found == nullptr)
        return std::nullopt;
    std::vector<std::string> names;
    for (const std::uint32_t child : found->children)
        names.emplace_back(file->key(child).name);
    return names;
}

} // namespace

RegistrationRun registerTypeLibraries(const std::vector<std::string>& windowsPaths, RegistrationScope scope,
                                      bool unregister) {
    const std::optional<RegistryFile> classes = hive(scope);
    // A 64-bit prefix (its system.reg says so): a 32-bit program's registration reaches both views.
    const auto machine =
        scope == RegistrationScope::Machine ? std::nullopt : hive(RegistrationScope::Machine);
    const std::optional<RegistryFile>& system = scope == RegistrationScope::Machine ? classes : machine;
    const bool wow64 = system && system->arch() == "win64";
    const auto subKeys = [&classes](std::string_view key) { return subKeysOf(classes, key); };
    RegistrationRun run;
    std::vector<RegistrationValue> values;
    std::vector<std::string> deleted;
    for (const std::string& path : windowsPaths) {
        run.results.push_back({path, std::nullopt});
        try {
            const TypeLibrary library = readTypeLibContent(path);
            TypeLibRegistrationKeys keys = typeLibRegistrationKeys(library, path, false, wow64);
            if (unregister) {
                if (!subKeys(keys.pathKey))
                    throw RuntimeError(NotRegistered, path + ": its type library " + library.guid + " " +
                                                          std::to_string(library.majorVersion) + "." +
                                                          std::to_string(library.minorVersion) +
                                                          " is not registered (" + keys.pathKey + ")");
                for (std::string& key : typeLibUnregistrationKeys(keys, ExistingKeys{subKeys}))
                    deleted.push_back(std::move(key));
            } else {
                keys = typeLibRegistrationKeys(library, path, !subKeys(keys.libraryKey + "\\HELPDIR"), wow64);
                values.insert(values.end(), keys.values.begin(), keys.values.end());
            }
        } catch (const RuntimeError& e) {
            run.results.back().error = e;
        }
    }
    if (values.empty() && deleted.empty())
        return run;
    const std::string root = scope == RegistrationScope::User ? "HKEY_CURRENT_USER\\Software\\Classes"
                                                              : "HKEY_LOCAL_MACHINE\\Software\\Classes";
    try {
        run.note = importIntoPrefix(registryScript(root, values, deleted), wow64);
    } catch (const RuntimeError& e) {
        for (RegistrationResult& result : run.results)
            if (!result.error)
                result.error = RuntimeError(e.number(), result.path + ": " + e.description());
    }
    return run;
}

} // namespace pelorix
