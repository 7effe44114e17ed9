#pragma once

#include "formats/RegistryFile.h"
#include "platform/CFWin32API.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelorix {

// Access rights the program asks for (kept for the calls' shape; the files are only ever read).
inline constexpr std::uint32_t KEY_ENUMERATE_SUB_KEYS = 0x8;
inline constexpr std::uint32_t KEY_READ = 0x20019;

// On Windows the calls go to the system's registry API (in its 32-bit view, as the compiler sees
// it); HKEY_CLASSES_ROOT is then the machine's and the user's classes merged, as Windows shows it.
// On Linux:
// The registry of the Wine prefix as the Win32 ANSI registry functions show it to a program
// running in the prefix, read straight from the prefix's files: HKEY_LOCAL_MACHINE is system.reg,
// HKEY_CURRENT_USER is user.reg, and HKEY_CLASSES_ROOT is HKLM\Software\Classes alone. Wine
// does not merge the user's HKCU\Software\Classes into it, so neither does this view: a class
// or type library registered only for the user is invisible to the compiler in the prefix, and
// must be invisible to the program that picks libraries for it.
//
// Open keys are objects of this layer with handle numbers as Win32 gives them; functions return
// Win32 error codes (0 success). Names and texts are the program's UTF-8 as they pass through
// the ANSI code page: a character the code page cannot hold reads as "?", and lengths that meet
// a caller's buffer are counted in ANSI bytes.
//
// A walk sees the files as they are when it starts: opening a key of a predefined root while no
// key is open looks at the files again (a file whose identity, size and time are unchanged is
// not parsed again), and every key opened while another stays open sees the same state. A file
// that is not a registry is logged and read as empty; a missing file is an empty registry.
//
// On Windows the registry is live: every read sees it as it is. What a key of HKEY_CLASSES_ROOT
// sees is then told by a count of the changes the system has reported under the machine's and
// the user's classes since this process first asked (contentsOf).
class Registry {
public:
    // The process's registry: handles are process-wide, as in Win32.
    static Registry& process();

    Registry() = default;
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;

    std::int32_t RegOpenKeyEx(HKEY key, std::string_view subKey, std::uint32_t access, HKEY& result);
    std::int32_t RegCloseKey(HKEY key);

    // The name and last-write time (FILETIME, UTC) of the sub-key at index, in the order Windows
    // gives them (sorted by name without regard to case). 259 past the end; 234 when the name
    // needs nameCapacity ANSI bytes or more (its terminating NUL would not fit).
    std::int32_t RegEnumKeyEx(HKEY key, std::uint32_t index, std::uint32_t nameCapacity, std::string& name,
                              std::uint64_t* lastWriteTime = nullptr);

    // A value by name ("" for the default value): its type, and for a string type (REG_SZ,
    // REG_EXPAND_SZ, REG_MULTI_SZ) its text, inner NULs kept. dataSize gives the buffer's
    // capacity in bytes and receives the size the data needs (ANSI bytes with the terminating
    // NUL); 234 when the data does not fit. 2 when there is no such value.
    std::int32_t RegQueryValueEx(HKEY key, std::string_view valueName, std::uint32_t& type, std::string& text,
                                 std::uint32_t& dataSize);

    // The last-write time of an open key (FILETIME, UTC).
    std::int32_t RegQueryInfoKey(HKEY key, std::uint64_t& lastWriteTime);

    // How many keys are open (tests).
    std::size_t openKeyCount() const;

    // What an open key sees. Two keys see the same registry contents exactly when these are equal.
    // On Linux the parsed files (an unchanged file is not parsed again, so it keeps its parsed
    // object). On Windows, for a key of HKEY_CLASSES_ROOT, the number of change reports so far:
    // a watch on both classes trees is armed before the answer, so a change made after it, by
    // any process, makes the next answer differ. No answer for any other key, nor when the
    // system refuses the watch.
    struct Contents {
        std::shared_ptr<const RegistryFile> machine;
        std::shared_ptr<const RegistryFile> user;
        std::uint64_t changes = 0;
        bool operator==(const Contents&) const = default;
    };
    std::optional<Contents> contentsOf(HKEY key);

private:
#ifdef _WIN32
    // On Windows the keys are the system's: a handle number of this layer stands for an open
    // native key.
    mutable std::mutex m_mutex;
    std::vector<void*> m_native;
    std::vector<HKEY> m_roots; // the predefined root each open key was opened below
    std::size_t m_openCount = 0;
    struct ClassesWatch;
    std::shared_ptr<ClassesWatch> m_classesWatch;
#else
    struct Snapshot;
    struct OpenKey {
        std::shared_ptr<const Snapshot> snapshot;
        const RegistryFile* file = nullptr;
        const RegistryKey* key = nullptr;
    };
    struct CachedFile {
        std::string hostPath;
        std::string identity;
        bool notRegistry = false;
        std::shared_ptr<const RegistryFile> file;
        std::optional<std::string> racyBytes; // kept while the file may still change unseen
    };

    std::shared_ptr<const Snapshot> currentSnapshot();
    std::shared_ptr<const RegistryFile> loadFile(CachedFile& cache, const std::string& hostPath);
    static void logIfNotRegistry(const CachedFile& cache);
    static std::optional<OpenKey> rootKey(HKEY key, std::shared_ptr<const Snapshot> snapshot);
    const RegistryKey* resolveFromRoot(HKEY root, const OpenKey& rootKey, std::string_view path);
    OpenKey* find(HKEY key);

    mutable std::mutex m_mutex;
    std::vector<std::optional<OpenKey>> m_open;
    std::size_t m_openCount = 0;
    std::shared_ptr<const Snapshot> m_current;
    struct PathPart {
        const RegistryKey* key;
        std::size_t position; // among the parent's children, for the next sibling's look-up
    };
    HKEY m_lastRoot = 0;
    std::shared_ptr<const Snapshot> m_lastSnapshot;
    std::vector<PathPart> m_lastPath;
    // The previous path when all its parts were found: its first m_lastPathDepth parts are
    // those of m_lastPath.
    std::string m_lastPathText;
    std::size_t m_lastPathDepth = 0;
    bool m_lastPathKnown = false;
    CachedFile m_machineCache;
    CachedFile m_userCache;
#endif
};

// A library path as the registry stores it, made comparable with the paths in project files:
// "\\?\" removed and "\\?\UNC\server" made "\\server". A trailing "\N" (a resource id) stays.
std::string normalizeLibraryPath(std::string_view path);

} // namespace pelorix
