// The registry operations of CFWin32API: enumerating sub-keys, walking the type-library
// registrations, reading a key's value, and turning a key's last-write time into a date-time.

#include "platform/CFWin32API.h"
#include "platform/ErrorLog.h"
#include "platform/Registry.h"
#include "platform/TimeFormat.h"

namespace pelorix {
namespace {

// Every name and value is read into a buffer of this many characters.
constexpr std::uint32_t kBufferSize = 256;
constexpr std::string_view kWin32 = "win32";

bool isWin32Path(std::string_view path) {
    return path.size() > kWin32.size() && path.ends_with(kWin32) &&
           path[path.size() - kWin32.size() - 1] == '\\';
}

// The registration's key path: the path up to, not including, its first "\win32".
std::string keyPathOf(std::string_view path) {
    const std::size_t at = path.find("\\win32");
    return std::string(path.substr(0, at));
}

// The walk of RecursiveRegEnumKeys over one key and its descendants. A registration is recorded
// where a key named "win32" is visited: its time, its library path and its key path are appended
// together, so that the three lists stay index-aligned whatever the registry holds. The sub-keys
// of a "win32" key are not walked: the library path is the win32 key's own value.
class RegistrationWalk {
public:
    RegistrationWalk(CFWin32API& api, CFWin32API::WalkBuffers& buffers,
                     std::vector<std::string>& libraryPaths, std::vector<std::string>& keyPaths,
                     std::vector<VbDate>& writeTimes)
        : m_api(api), m_buffers(buffers), m_libraryPaths(libraryPaths), m_keyPaths(keyPaths),
          m_writeTimes(writeTimes) {}

    std::int32_t failures() const noexcept { return m_failures; }

    // Visits the key at the buffers' path and its descendants: the path is extended by a
    // child's name for the child's visit and cut back after it.
    void visit(HKEY key, std::optional<std::uint64_t> enumeratedTime, std::size_t depth = 0) {
        Registry& registry = Registry::process();
        const std::string& path = m_buffers.path;
        HKEY subKey = 0;
        const std::int32_t openResult = registry.RegOpenKeyEx(key, path, KEY_ENUMERATE_SUB_KEYS, subKey);
        if (openResult != 0)
            logFailure(openResult, "[lnghSubKey=" + std::to_string(subKey) + "], [lnghInKey=" +
                                       std::to_string(key) + "], [strSubKey=" + path + "]");

        if (isWin32Path(path)) {
            std::uint64_t time = 0;
            if (enumeratedTime)
                time = *enumeratedTime;
            else
                registry.RegQueryInfoKey(subKey, time);
            record(path, time);
        } else {
            // Names and times first, then the walk below them, as the enumeration gives them.
            if (m_buffers.names.size() <= depth) {
                m_buffers.names.resize(depth + 1);
                m_buffers.times.resize(depth + 1);
            }
            std::size_t count = 0;
            for (std::uint32_t index = 0;; ++index) {
                auto& names = m_buffers.names[depth];
                if (count == names.size()) {
                    names.emplace_back();
                    m_buffers.times[depth].emplace_back();
                }
                std::uint64_t time = 0;
                if (registry.RegEnumKeyEx(subKey, index, kBufferSize, names[count], &time) != 0)
                    break;
                m_buffers.times[depth][count++] = time;
            }
            const std::size_t length = path.size();
            for (std::size_t i = 0; i < count; ++i) {
                // Deeper visits may add depths, moving the lists: they are read afresh.
                const std::string& name = m_buffers.names[depth][i];
                const std::uint64_t time = m_buffers.times[depth][i];
                const bool win32 = name == kWin32;
                m_buffers.path.append("\\").append(name);
                visit(key, win32 ? std::optional<std::uint64_t>(time) : std::nullopt, depth + 1);
                m_buffers.path.resize(length);
            }
        }

        const std::int32_t closeResult = registry.RegCloseKey(subKey);
        if (closeResult != 0)
            logFailure(closeResult,
                       "RegClose(lnghSubKey=" + std::to_string(subKey) + "), [strSubKey=" + path + "]");
    }

private:
    void record(const std::string& path, std::uint64_t time) {
        Registry& registry = Registry::process();
        HKEY leaf = 0;
        const std::int32_t openResult = registry.RegOpenKeyEx(HKEY_CLASSES_ROOT, path, KEY_READ, leaf);
        if (openResult != 0)
            logFailure(openResult, "RegOpenKeyEx(HKEY_CLASSES_ROOT,strSubKey=" + path +
                                       ",0,KEY_READ,lnghSubKey2=" + std::to_string(leaf) + ")");
        std::uint32_t type = static_cast<std::uint32_t>(REG_SZ);
        std::uint32_t size = kBufferSize;
        std::string& text = m_buffers.text;
        const bool read = registry.RegQueryValueEx(leaf, "", type, text, size) == 0 &&
                          (type == regtype::Sz || type == regtype::ExpandSz || type == regtype::MultiSz);
        const std::string_view value = read ? std::string_view(text).substr(0, text.find('\0')) : "";

        m_writeTimes.push_back(m_api.pDosDateTimeToFileTime(time));
        m_libraryPaths.push_back(normalizeLibraryPath(value));
        m_keyPaths.push_back(keyPathOf(path));

        const std::int32_t closeResult = registry.RegCloseKey(leaf);
        if (closeResult != 0)
            logFailure(closeResult,
                       "RegClose(lnghSubKey2=" + std::to_string(leaf) + "), [strSubKey=" + path + "]");
    }

    void logFailure(std::int32_t code, const std::string& tail) {
        ++m_failures;
        WriteErrorLog(code, m_api.GetLastErrorMsg(code) + tail, "RecursiveRegEnumKeys", "CFWin32API",
                      ErrorLevel::Error, false);
    }

    CFWin32API& m_api;
    CFWin32API::WalkBuffers& m_buffers;
    std::int32_t m_failures = 0;
    std::vector<std::string>& m_libraryPaths;
    std::vector<std::string>& m_keyPaths;
    std::vector<VbDate>& m_writeTimes;
};

} // namespace

std::int32_t CFWin32API::EnumKeys(HKEY key, std::string_view subKey, std::vector<std::string>& names) {
    return guard("EnumKeys", [&] {
        Registry& registry = Registry::process();
        HKEY opened = 0;
        if (registry.RegOpenKeyEx(key, subKey, KEY_ENUMERATE_SUB_KEYS, opened) != 0)
            return std::int32_t{0};
        std::int32_t count = 0;
        for (std::uint32_t index = 0;; ++index) {
            std::string name;
            if (registry.RegEnumKeyEx(opened, index, kBufferSize, name) != 0)
                break;
            names.resize(index + 1);
            names[index] = std::move(name);
            count = static_cast<std::int32_t>(index + 1);
        }
        registry.RegCloseKey(opened);
        return count;
    });
}

void CFWin32API::RecursiveRegEnumKeys(HKEY key, std::string_view path, std::vector<std::string>& libraryPaths,
                                      std::vector<std::string>& keyPaths, std::vector<VbDate>& writeTimes) {
    return guard("RecursiveRegEnumKeys", [&] {
        RegistrationWalk walk(*this, m_walkBuffers, libraryPaths, keyPaths, writeTimes);
        m_walkBuffers.path.assign(path);
        walk.visit(key, std::nullopt);
        m_lngLoggedWalkFailures += walk.failures();
    });
}

std::string CFWin32API::fGetRegKeyValue(HKEY key, std::string_view subKey,
                                        std::optional<std::string_view> valueName, std::int32_t valueType) {
    return guard("fGetRegKeyValue", [&] {
        Registry& registry = Registry::process();
        HKEY opened = 0;
        if (registry.RegOpenKeyEx(key, subKey, KEY_READ, opened) != 0)
            return std::string();
        auto type = static_cast<std::uint32_t>(valueType);
        std::string text;
        std::uint32_t size = kBufferSize;
        // Only string data is text; any other type's bytes are never handed out as text.
        const bool read = registry.RegQueryValueEx(opened, valueName.value_or(""), type, text, size) == 0 &&
                          (type == regtype::Sz || type == regtype::ExpandSz || type == regtype::MultiSz);
        const std::int32_t closeResult = registry.RegCloseKey(opened);
        if (closeResult != 0) {
            WriteErrorLog(closeResult, GetLastErrorMsg(closeResult), "fGetRegKeyValue", "CFWin32API",
                          ErrorLevel::Error, false);
            return std::string();
        }
        return read ? text.substr(0, text.find('\0')) : std::string();
    });
}

VbDate CFWin32API::pDosDateTimeToFileTime(std::uint64_t fileTime) {
    return guard("pDosDateTimeToFileTime", [&] {
        const std::uint64_t local = fileTimeToLocalFileTime(fileTime);
        return static_cast<double>(local) / 10000.0 / 86400000.0 - 109205.0;
    });
}

} // namespace pelorix
