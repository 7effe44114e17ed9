#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelorix::test {

class TestEnvironment;

enum class RegistryHive { Machine, User };

// A key's last-write time as the file records it.
struct RegistryKeyTime {
    std::int64_t unixSeconds = 1796672316; // on the key line; 2026-12-07 19:38:36 UTC
    std::optional<std::uint64_t> fileTime; // "#time=" line when present

    // Only the key line's seconds, no "#time" line (older files, hand-made files).
    static RegistryKeyTime unix(std::int64_t seconds) { return RegistryKeyTime{seconds, std::nullopt}; }
    // A "#time" line and the key line's seconds that Wine derives from it.
    static RegistryKeyTime fromFileTime(std::uint64_t fileTime);
    // A "#time" line for a Unix time with a sub-second part, as Wine writes it.
    static RegistryKeyTime unixWithFileTime(std::int64_t seconds, std::uint32_t nanoseconds = 0);
};

// One type-library registration: Typelib\{guid}\version\locale\win32 (and win64).
struct TypeLibRegistration {
    std::string guid;                 // "{00020430-0000-0000-C000-000000000046}"
    std::string version = "1.0";      // the key name: hex major "." hex minor ("1.a")
    std::string locale = "0";         // the key name: hex LCID ("411")
    std::optional<std::string> win32; // default value of the win32 key; nothing: no win32 key
    std::optional<std::string> win64; // default value of a win64 sibling
    std::string name = "Test Library";
    RegistryKeyTime time = RegistryKeyTime::unixWithFileTime(1796672316, 505923000);
    bool win32WithoutValue = false; // the win32 key exists but has no default value
    std::string typeLibKey = "Typelib";
    RegistryHive hive = RegistryHive::Machine;
};

// A builder for the registry files of a test prefix. It writes system.reg (HKEY_LOCAL_MACHINE)
// and user.reg (HKEY_CURRENT_USER) the way Wine's server saves them: the header, key lines with
// Unix seconds and a "#time" FILETIME, escaped names and data, keys in depth-first order with
// siblings sorted case-insensitively, and parent keys without values left implied by their
// children.
//
// Key paths are given relative to the hive's root with single backslashes
// ("Software\Classes\.vbp"); text is UTF-8 and is written with Wine's escapes.
class RegistryWriter {
public:
    using KeyTime = RegistryKeyTime;
    using TypeLib = TypeLibRegistration;
    using Hive = RegistryHive;

    RegistryWriter() = default;

    // A key, written with its own line even when it has no values. Parents are implied.
    RegistryWriter& addKey(std::string_view path, KeyTime time = {}, Hive hive = Hive::Machine);
    // A string value (REG_SZ); name "" is the default value "@".
    RegistryWriter& setString(std::string_view path, std::string_view name, std::string_view text,
                              Hive hive = Hive::Machine);
    // A value written as given after "=" (dword:..., hex:..., str(2):"...", raw bytes of a test).
    RegistryWriter& setRaw(std::string_view path, std::string_view name, std::string_view rawData,
                           Hive hive = Hive::Machine);
    // A line written verbatim under the key, before its values ("#class=...", "#link").
    RegistryWriter& addKeyOption(std::string_view path, std::string_view line, Hive hive = Hive::Machine);

    // A type-library registration with the FLAGS sibling and the version key's name value Wine
    // writes.
    RegistryWriter& addTypeLib(const TypeLib& lib);
    // The shell association: Software\Classes\extension @=fileType and
    // Software\Classes\fileType\verbPath @=command.
    RegistryWriter& addShellAssociation(std::string_view extension, std::string_view fileType,
                                        std::string_view verbPath, std::string_view command,
                                        Hive hive = Hive::Machine);

    // The file's text for a hive.
    std::string text(Hive hive) const;
    // Writes system.reg and user.reg into the test's prefix (each replaced in one step, as Wine
    // does). On Windows the keys and values go into the system's registry through the registry API
    // instead (HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, the program's view), replacing what earlier
    // writes of the program put there; key times and key options cannot be set through the API and
    // are left out there.
    void write(const TestEnvironment& env) const;
    // Takes out of the system's registry what writes of this program put there (Windows; the test
    // environment does it when the test ends). Nothing on Linux, where the prefix goes with the test.
    static void undoWrites();

    // The escaped form of a text inside quotes, as Wine writes names and data.
    static std::string escape(std::string_view utf8, bool keyName = false);

private:
    struct Value {
        std::string name;                // "" = default
        std::string data;                // the text after "="
        std::optional<std::string> text; // a string value's UTF-8 text
    };
    struct Key {
        std::string path; // as first spelled
        KeyTime time;
        bool explicitKey = false;
        std::vector<Value> values;
        std::vector<std::string> options;
    };
    struct LessIgnoringCase {
        bool operator()(const std::string& a, const std::string& b) const;
    };
    using Tree = std::map<std::string, Key, LessIgnoringCase>;

    Key& key(std::string_view path, Hive hive);
    RegistryWriter& setValue(std::string_view path, std::string_view name, std::string_view rawData,
                             std::optional<std::string> text, Hive hive);
    void writeFiles(const std::string& prefixFolder) const;
    void writeRegistry() const;
    Tree& tree(Hive hive) { return hive == Hive::Machine ? m_machine : m_user; }
    const Tree& tree(Hive hive) const { return hive == Hive::Machine ? m_machine : m_user; }

    Tree m_machine;
    Tree m_user;
};

} // namespace pelorix::test
