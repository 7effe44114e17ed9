#pragma once

#include "formats/RegistryFile.h"
#include "platform/CFWin32API.h"

#include <cstdint>
#include <memory>
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

    Registry();
    ~Registry();
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
    // On Linux the parsed files of the machine and the user (an unchanged file is not parsed
    // again, so it keeps its parsed object). On Windows, for a key of HKEY_CLASSES_ROOT, the
    // number of change reports so far:
    // a watch on both classes trees is armed before the answer, so a change made after it, by
    // any process, makes the next answer differ. No answer for any other key, nor when the
    // system refuses the watch.
    struct Contents {
        std::shared_ptr<const void> machine;
        std::shared_ptr<const void> user;
        std::uint64_t changes = 0;
        bool operator==(const Contents&) const = default;
    };
    std::optional<Contents> contentsOf(HKEY key);

private:
    // Each system's part: on Linux the parsed files of the prefix and the keys opened in them, on
    // Windows the open keys of the system's registry and the watch on its classes.
    struct State;
    std::unique_ptr<State> m_state;
};

// A library path as the registry stores it, made comparable with the paths in project files:
// "\\?\" removed and "\\?\UNC\server" made "\\server". A trailing "\N" (a resource id) stays.
std::string normalizeLibraryPath(std::string_view path);

} // namespace pelorix
