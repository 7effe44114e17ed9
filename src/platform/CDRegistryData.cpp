#include "platform/CDRegistryData.h"

#include "platform/Environment.h"
#include "platform/ErrorLog.h"
#include "platform/Registry.h"

#include <mutex>

namespace pelorix {
namespace {

// Keeps the root open while a walk runs, so that every key the walk opens sees the registry
// files as they were when the walk began.
class WalkPin {
public:
    explicit WalkPin(HKEY root) { Registry::process().RegOpenKeyEx(root, "", KEY_READ, m_key); }
    std::optional<Registry::Contents> contents() const {
        return m_key == 0 ? std::nullopt : Registry::process().contentsOf(m_key);
    }
    ~WalkPin() {
        if (m_key != 0)
            Registry::process().RegCloseKey(m_key);
    }
    WalkPin(const WalkPin&) = delete;
    WalkPin& operator=(const WalkPin&) = delete;

private:
    HKEY m_key = 0;
};

// The result of the last walk that logged nothing. A build walks the registrations before every
// project; while the registry files, the time zone and the code page stay the same, the walk
// would find exactly the same lists, so they are handed out again instead of walked again.
struct WalkResult {
    Registry::Contents contents;
    HKEY root = 0;
    std::string subKey;
    std::string timeZone;
    std::string codePage;
    std::vector<std::string> libraryPaths;
    std::vector<std::string> keyPaths;
    std::vector<VbDate> writeTimes;
};

std::mutex g_walkMutex;
WalkResult g_lastWalk;
bool g_haveLastWalk = false;

std::string currentTimeZone() {
    const auto tz = hostEnv("TZ");
    return tz ? "=" + *tz : std::string("unset");
}

} // namespace

void CDRegistryData::fSetRegistryData(HKEY root, std::string_view subKey,
                                      std::vector<std::string>& libraryPaths,
                                      std::vector<std::string>& keyPaths, std::vector<VbDate>& writeTimes) {
    return guard("fSetRegistryData", [&] {
        const WalkPin pin(root);
        const auto contents = pin.contents();
        const std::string timeZone = currentTimeZone();
        const std::string codePage = ansiCodePage();
        {
            const std::lock_guard lock(g_walkMutex);
            if (contents && g_haveLastWalk && g_lastWalk.contents == *contents && g_lastWalk.root == root &&
                g_lastWalk.subKey == subKey && g_lastWalk.timeZone == timeZone &&
                g_lastWalk.codePage == codePage) {
                libraryPaths = g_lastWalk.libraryPaths;
                keyPaths = g_lastWalk.keyPaths;
                writeTimes = g_lastWalk.writeTimes;
                return;
            }
        }

        libraryPaths.clear();
        keyPaths.clear();
        writeTimes.clear();
        const std::uint64_t logCallsBefore = errorLogCallCount();
        CFWin32API api;
        std::vector<std::string> names;
        const std::int32_t count = api.EnumKeys(root, subKey, names);
        for (std::int32_t i = 0; i < count; ++i)
            api.RecursiveRegEnumKeys(root, std::string(subKey) + "\\" + names[static_cast<std::size_t>(i)],
                                     libraryPaths, keyPaths, writeTimes);

        // A walk that reported failures is walked again next time, so its log lines come again.
        if (contents && errorLogCallCount() == logCallsBefore) {
            const std::lock_guard lock(g_walkMutex);
            g_lastWalk = WalkResult{*contents,    root,     std::string(subKey), timeZone, codePage,
                                    libraryPaths, keyPaths, writeTimes};
            g_haveLastWalk = true;
        }
    });
}

std::string CDRegistryData::fGetShellExProgPath(std::string_view extension, std::string_view verbPath) {
    std::string result;
    handle("fGetShellExProgPath", false, [&] {
        CFWin32API api;
        const std::string fileType = api.fGetRegKeyValue(HKEY_CLASSES_ROOT, extension, std::nullopt, REG_SZ);
        if (fileType.empty())
            return;
        result = api.fGetRegKeyValue(HKEY_CLASSES_ROOT, fileType + "\\" + std::string(verbPath), std::nullopt,
                                     REG_SZ);
    });
    return result;
}

} // namespace pelorix
