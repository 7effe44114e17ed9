#include "support/RegistryWriter.h"

#include "support/TestEnvironment.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#endif

namespace pelorix::test {
namespace {

constexpr std::uint64_t kUnixEpochAsFileTime = 116444736000000000ULL;

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

// The UTF-16 code units of a UTF-8 text (a byte that starts no valid sequence passes as its
// Latin-1 value).
std::u16string utf16Of(std::string_view utf8) {
    std::u16string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        const std::size_t len = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
        std::uint32_t cp = b;
        if (len > 1 && i + len <= utf8.size()) {
            cp = b & (0x7Fu >> len);
            for (std::size_t k = 1; k < len; ++k)
                cp = cp << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3Fu);
        }
        const std::size_t used = len > 1 && i + len <= utf8.size() ? len : 1;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += used;
    }
    return out;
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i]))
            return false;
    return true;
}

bool isHexDigit(char16_t c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

std::string fileTimeHex(std::uint64_t fileTime) {
    char text[32];
    std::snprintf(text, sizeof text, "%llx", static_cast<unsigned long long>(fileTime));
    return text;
}

void writeReplacing(const std::string& hostPath, const std::string& bytes) {
    const std::string temp = hostPath + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out)
            throw std::runtime_error("cannot write " + temp);
    }
    std::filesystem::rename(temp, hostPath);
}

} // namespace

RegistryKeyTime RegistryKeyTime::fromFileTime(std::uint64_t fileTime) {
    const auto seconds = static_cast<std::int64_t>((fileTime - kUnixEpochAsFileTime) / 10000000ULL);
    return RegistryKeyTime{seconds, fileTime};
}

RegistryKeyTime RegistryKeyTime::unixWithFileTime(std::int64_t seconds, std::uint32_t nanoseconds) {
    return RegistryKeyTime{seconds, static_cast<std::uint64_t>(seconds) * 10000000ULL + kUnixEpochAsFileTime +
                                        nanoseconds / 100};
}

bool RegistryWriter::LessIgnoringCase::operator()(const std::string& a, const std::string& b) const {
    // Component by component, so that a key's children follow it directly (depth-first order).
    std::size_t i = 0;
    std::size_t j = 0;
    while (true) {
        const bool endA = i >= a.size() || a[i] == '\\';
        const bool endB = j >= b.size() || b[j] == '\\';
        if (endA || endB) {
            if (endA != endB)
                return endA;
            if (i >= a.size() || j >= b.size())
                return i >= a.size() && j < b.size();
            ++i;
            ++j;
            continue;
        }
        const char ca = lowerAscii(a[i]);
        const char cb = lowerAscii(b[j]);
        if (ca != cb)
            return static_cast<unsigned char>(ca) < static_cast<unsigned char>(cb);
        ++i;
        ++j;
    }
}

std::string RegistryWriter::escape(std::string_view utf8, bool keyName) {
    static constexpr char kEscapes[33] = ".......abtnvfr.............e....";
    const std::u16string units = utf16Of(utf8);
    std::string out;
    char text[16];
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char16_t c = units[i];
        const bool nextExists = i + 1 < units.size();
        if (c < 32 && kEscapes[c] != '.') {
            out += '\\';
            out += kEscapes[c];
        } else if (c < 32) {
            const bool octalNext = nextExists && units[i + 1] >= '0' && units[i + 1] <= '7';
            std::snprintf(text, sizeof text, octalNext ? "\\%03o" : "\\%o", static_cast<unsigned>(c));
            out += text;
        } else if (c > 127) {
            const bool hexNext = nextExists && units[i + 1] < 128 && isHexDigit(units[i + 1]);
            std::snprintf(text, sizeof text, hexNext ? "\\x%04x" : "\\x%x", static_cast<unsigned>(c));
            out += text;
        } else {
            const bool special = c == '\\' || (keyName ? (c == '[' || c == ']') : c == '"');
            if (special)
                out += '\\';
            out += static_cast<char>(c);
        }
    }
    return out;
}

RegistryWriter::Key& RegistryWriter::key(std::string_view path, Hive hive) {
    auto [it, inserted] = tree(hive).try_emplace(std::string(path));
    if (inserted)
        it->second.path = std::string(path);
    return it->second;
}

RegistryWriter& RegistryWriter::addKey(std::string_view path, KeyTime time, Hive hive) {
    Key& k = key(path, hive);
    k.time = time;
    k.explicitKey = true;
    return *this;
}

RegistryWriter& RegistryWriter::setString(std::string_view path, std::string_view name, std::string_view text,
                                          Hive hive) {
    return setValue(path, name, "\"" + escape(text) + "\"", std::string(text), hive);
}

RegistryWriter& RegistryWriter::setRaw(std::string_view path, std::string_view name, std::string_view rawData,
                                       Hive hive) {
    return setValue(path, name, rawData, std::nullopt, hive);
}

RegistryWriter& RegistryWriter::setValue(std::string_view path, std::string_view name,
                                         std::string_view rawData, std::optional<std::string> text,
                                         Hive hive) {
    Key& k = key(path, hive);
    k.explicitKey = true;
    for (Value& v : k.values) {
        if (sameName(v.name, name)) {
            v.data = std::string(rawData);
            v.text = std::move(text);
            return *this;
        }
    }
    k.values.push_back({std::string(name), std::string(rawData), std::move(text)});
    return *this;
}

RegistryWriter& RegistryWriter::addKeyOption(std::string_view path, std::string_view line, Hive hive) {
    Key& k = key(path, hive);
    k.explicitKey = true;
    k.options.emplace_back(line);
    return *this;
}

RegistryWriter& RegistryWriter::addTypeLib(const TypeLib& lib) {
    const std::string versionKey =
        "Software\\Classes\\" + lib.typeLibKey + "\\" + lib.guid + "\\" + lib.version;
    addKey(versionKey, lib.time, lib.hive).setString(versionKey, "", lib.name, lib.hive);
    addKey(versionKey + "\\FLAGS", lib.time, lib.hive).setString(versionKey + "\\FLAGS", "", "0", lib.hive);
    const std::string localeKey = versionKey + "\\" + lib.locale;
    if (lib.win32 || lib.win32WithoutValue) {
        addKey(localeKey + "\\win32", lib.time, lib.hive);
        if (lib.win32)
            setString(localeKey + "\\win32", "", *lib.win32, lib.hive);
    }
    if (lib.win64)
        addKey(localeKey + "\\win64", lib.time, lib.hive)
            .setString(localeKey + "\\win64", "", *lib.win64, lib.hive);
    return *this;
}

RegistryWriter& RegistryWriter::addShellAssociation(std::string_view extension, std::string_view fileType,
                                                    std::string_view verbPath, std::string_view command,
                                                    Hive hive) {
    const std::string classes = "Software\\Classes\\";
    setString(classes + std::string(extension), "", fileType, hive);
    setString(classes + std::string(fileType) + "\\" + std::string(verbPath), "", command, hive);
    return *this;
}

std::string RegistryWriter::text(Hive hive) const {
    std::string out = "WINE REGISTRY Version 2\n";
    out += hive == Hive::Machine ? ";; All keys relative to REGISTRY\\\\Machine\n"
                                 : ";; All keys relative to REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000\n";
    out += "\n#arch=win32\n";
    for (const auto& [path, k] : tree(hive)) {
        if (!k.explicitKey)
            continue;
        std::string escapedPath;
        std::size_t start = 0;
        while (true) {
            const std::size_t end = std::min(k.path.find('\\', start), k.path.size());
            if (start != 0)
                escapedPath += "\\\\";
            escapedPath += escape(std::string_view(k.path).substr(start, end - start), true);
            if (end == k.path.size())
                break;
            start = end + 1;
        }
        out += "\n[" + escapedPath + "] " + std::to_string(k.time.unixSeconds) + "\n";
        if (k.time.fileTime)
            out += "#time=" + fileTimeHex(*k.time.fileTime) + "\n";
        for (const std::string& option : k.options)
            out += option + "\n";
        for (const Value& v : k.values)
            out += (v.name.empty() ? std::string("@") : "\"" + escape(v.name) + "\"") + "=" + v.data + "\n";
    }
    return out;
}

void RegistryWriter::write(const TestEnvironment& env) const {
#ifdef _WIN32
    static_cast<void>(env); // the system's registry is the test's
    writeRegistry();
#else
    writeFiles(env.prefix());
#endif
}

void RegistryWriter::writeFiles(const std::string& prefixFolder) const {
    std::filesystem::create_directories(prefixFolder);
    writeReplacing(prefixFolder + "/system.reg", text(Hive::Machine));
    writeReplacing(prefixFolder + "/user.reg", text(Hive::User));
}

#ifdef _WIN32
namespace {

// What the writes of this program put into the system's registry: the keys they made (with all
// below them), and the values they set on keys that were there before.
struct WrittenKey {
    ::HKEY root;
    std::wstring path;
};
struct WrittenValue {
    ::HKEY root;
    std::wstring path;
    std::wstring name;
};
std::vector<WrittenKey> g_writtenKeys;
std::vector<WrittenValue> g_writtenValues;

std::wstring wideOf(std::string_view utf8) {
    const std::u16string units = utf16Of(utf8);
    return std::wstring(units.begin(), units.end());
}

void check(LONG rc, const std::wstring& path, const char* what) {
    if (rc != ERROR_SUCCESS)
        throw std::runtime_error(std::string("registry: ") + what + " failed (" + std::to_string(rc) +
                                 ") for " + std::string(path.begin(), path.end()));
}

// Opens the key, making it and its missing parents; the first key it makes is remembered.
::HKEY createKey(::HKEY root, const std::wstring& path) {
    ::HKEY key = nullptr;
    std::size_t end = 0;
    while (end != std::wstring::npos) {
        end = path.find(L'\\', end + 1);
        const std::wstring part = path.substr(0, end);
        if (key != nullptr)
            ::RegCloseKey(key);
        DWORD disposition = 0;
        check(
            ::RegCreateKeyExW(root, part.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition),
            part, "RegCreateKeyExW");
        if (disposition == REG_CREATED_NEW_KEY) {
            g_writtenKeys.push_back({root, part});
            break;
        }
    }
    if (end != std::wstring::npos) {
        ::RegCloseKey(key);
        check(::RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              path, "RegCreateKeyExW");
    }
    return key;
}

// The value's type and bytes: a string, or the "dword:" and "hex:" forms of the registry files.
std::pair<DWORD, std::string> valueBytes(const std::optional<std::string>& text, const std::string& raw) {
    if (text) {
        const std::wstring wide = wideOf(*text);
        return {REG_SZ, std::string(reinterpret_cast<const char*>(wide.c_str()),
                                    (wide.size() + 1) * sizeof(wchar_t))};
    }
    if (raw.starts_with("dword:")) {
        const auto number = static_cast<std::uint32_t>(std::stoul(raw.substr(6), nullptr, 16));
        return {REG_DWORD, std::string(reinterpret_cast<const char*>(&number), sizeof number)};
    }
    if (raw.starts_with("hex:")) {
        std::string bytes;
        for (std::size_t i = 4; i + 1 < raw.size(); i += 3)
            bytes.push_back(static_cast<char>(std::stoul(raw.substr(i, 2), nullptr, 16)));
        return {REG_BINARY, bytes};
    }
    throw std::runtime_error("registry: a value of the form " + raw + " cannot be written through the API");
}

} // namespace

void RegistryWriter::writeRegistry() const {
    undoWrites();
    for (const Hive hive : {Hive::Machine, Hive::User}) {
        ::HKEY root = hive == Hive::Machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
        for (const auto& [path, k] : tree(hive)) {
            if (!k.explicitKey)
                continue;
            const std::wstring widePath = wideOf(k.path);
            const std::size_t keysBefore = g_writtenKeys.size();
            ::HKEY key = createKey(root, widePath);
            const bool keyIsNew = g_writtenKeys.size() > keysBefore;
            for (const Value& v : k.values) {
                const auto [type, bytes] = valueBytes(v.text, v.data);
                const std::wstring name = wideOf(v.name);
                const LONG rc =
                    ::RegSetValueExW(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                                     static_cast<DWORD>(bytes.size()));
                if (rc != ERROR_SUCCESS)
                    ::RegCloseKey(key);
                check(rc, widePath, "RegSetValueExW");
                if (!keyIsNew)
                    g_writtenValues.push_back({root, widePath, name});
            }
            ::RegCloseKey(key);
        }
    }
}

void RegistryWriter::undoWrites() {
    for (auto it = g_writtenValues.rbegin(); it != g_writtenValues.rend(); ++it)
        ::RegDeleteKeyValueW(it->root, it->path.c_str(), it->name.c_str());
    for (auto it = g_writtenKeys.rbegin(); it != g_writtenKeys.rend(); ++it)
        ::RegDeleteTreeW(it->root, it->path.c_str()); // the key with all below it
    g_writtenValues.clear();
    g_writtenKeys.clear();
}
#else
void RegistryWriter::undoWrites() {}
#endif

} // namespace pelorix::test
