#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pelorix {

// Registry value types as Win32 numbers them.
namespace regtype {
inline constexpr std::uint32_t None = 0;
inline constexpr std::uint32_t Sz = 1;
inline constexpr std::uint32_t ExpandSz = 2;
inline constexpr std::uint32_t Binary = 3;
inline constexpr std::uint32_t Dword = 4;
inline constexpr std::uint32_t Link = 6;
inline constexpr std::uint32_t MultiSz = 7;
} // namespace regtype

// One value of a key. Only string values (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, in their quoted
// or hex forms) carry text; every other type is kept as its type alone, so that its bytes can
// never be mistaken for text.
struct RegistryValue {
    std::string name; // UTF-8; "" is the default value
    std::uint32_t type = regtype::Sz;
    std::optional<std::string> text; // UTF-8, inner NULs kept, the final terminator dropped
};

// One key of a parsed registry file. Its names and its list of children are views of storage
// that the RegistryFile owns: they live as long as the file.
struct RegistryKey {
    std::string_view name;           // UTF-8, spelled as first written
    std::string_view foldedName;     // name with ASCII letters in lower case, for look-up and order
    std::uint64_t lastWriteTime = 0; // FILETIME (100 ns since 1601-01-01 UTC)
    std::vector<RegistryValue> values;
    std::span<const std::uint32_t> children; // indices into RegistryFile::keys, sorted by foldedName
    std::optional<std::string_view> className;
    bool isLink = false;
};

// A parsed Wine registry file ("WINE REGISTRY Version 2"): the tree of keys below the file's
// root. Key paths in the file are relative to that root; keys that the file only implies
// through their children exist here too. Names are compared without regard to ASCII case.
class RegistryFile {
public:
    // Parses the file's bytes; nothing when the first line is not the header. Lines that cannot
    // be read (a broken key line, a value with malformed data) are skipped, as Wine skips them.
    // fallbackTime is the time of a key for which the file records none (the file's own time).
    static std::optional<RegistryFile> parse(std::string_view bytes, std::uint64_t fallbackTime = 0);
    // Whether parse would read the bytes as a registry file (their first line is the header),
    // without reading the rest.
    static bool isRegistryFile(std::string_view bytes) noexcept;

    // An empty registry (the root alone).
    RegistryFile();
    // Keys view the file's own storage: a file moves, it is never copied.
    RegistryFile(RegistryFile&&) noexcept = default;
    RegistryFile& operator=(RegistryFile&&) noexcept = default;
    RegistryFile(const RegistryFile&) = delete;
    RegistryFile& operator=(const RegistryFile&) = delete;
    ~RegistryFile() = default;

    const RegistryKey& root() const noexcept { return m_keys.front(); }
    const RegistryKey& key(std::uint32_t index) const noexcept { return m_keys[index]; }
    std::size_t keyCount() const noexcept { return m_keys.size(); }

    // The direct child of parent with the given name (any ASCII case), or null.
    const RegistryKey* child(const RegistryKey& parent, std::string_view name) const;
    // The same, for callers that visit siblings in order: position is the child's place among
    // parent's children from the previous look-up (npos when none), and receives the new one.
    // The next sibling is tried first.
    const RegistryKey* child(const RegistryKey& parent, std::string_view name, std::size_t& position) const;
    // The key at a path of names separated by "\" below from, or null. Empty parts are skipped.
    const RegistryKey* find(const RegistryKey& from, std::string_view path) const;
    const RegistryKey* find(std::string_view path) const { return find(root(), path); }

    // A value of a key by name (any ASCII case; "" for the default value), or null.
    static const RegistryValue* value(const RegistryKey& key, std::string_view name);

    // The "#arch=" option of the file ("win32", "win64"), "" when absent.
    const std::string& arch() const noexcept { return m_arch; }

private:
    friend class RegistryFileParser;
    std::vector<RegistryKey> m_keys;
    std::vector<std::uint32_t> m_children;             // every key's children, one list after another
    std::vector<std::unique_ptr<char[]>> m_nameBlocks; // the keys' names; blocks never move
    std::string m_arch;
};

// Names with ASCII letters in lower case, as keys are ordered and looked up.
std::string foldRegistryName(std::string_view name);

// The text of a registry string with Wine's escapes undone ("\\" "\"" "\x65e5" "\012" "\n" ...),
// read from text up to the unescaped terminator; the position after the terminator is stored in
// end. Nothing when the terminator is missing.
std::optional<std::string> unescapeRegistryString(std::string_view text, char terminator, std::size_t& end);

} // namespace pelorix
