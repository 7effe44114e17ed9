#include "platform/CDRegistryData.h"

#include "platform/Environment.h"
#include "platform/Registry.h"
#include "platform/TimeFormat.h"

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

// The zone the walk's times are made local in: TZ, and the offset the system applies now (on
// Windows the current bias, whatever TZ says, which a change of daylight saving time moves).
std::string currentTimeZone() {
    const auto tz = hostEnv("TZ");
    constexpr std::uint64_t reference = 0x01D9000000000000ULL;
    const auto offset = static_cast<std::int64_t>(fileTimeToLocalFileTime(reference) - reference);
    return (tz ? "=" + *tz : std::string("unset")) + " " + std::to_string(offset);
}

} // namespace

// What a walk was read under: equal conditions give equal lists.
struct CDRegistryData::KeptWalk {
    Registry::Contents contents;
    HKEY root = 0;
    std::string subKey;
    std::string timeZone;
    std::string codePage;
    std::shared_ptr<const TypeLibRegistrations> registrations;

    bool sameConditions(const KeptWalk& other) const {
        return contents == other.contents && root == other.root && subKey == other.subKey &&
               timeZone == other.timeZone && codePage == other.codePage;
    }
};

std::shared_ptr<const TypeLibRegistrations> CDRegistryData::walk(HKEY root, std::string_view subKey) {
    const WalkPin pin(root);
    const auto contents = pin.contents();
    KeptWalk now{contents.value_or(Registry::Contents{}),
                 root,
                 std::string(subKey),
                 currentTimeZone(),
                 ansiCodePage(),
                 nullptr};
    if (contents && m_lastWalk && m_lastWalk->sameConditions(now))
        return m_lastWalk->registrations;

    auto found = std::make_shared<TypeLibRegistrations>();
    CFWin32API api;
    std::vector<std::string> names;
    const std::int32_t count = api.EnumKeys(root, subKey, names);
    for (std::int32_t i = 0; i < count; ++i)
        api.RecursiveRegEnumKeys(root, std::string(subKey) + "\\" + names[static_cast<std::size_t>(i)],
                                 found->libraryPaths, found->keyPaths, found->writeTimes);

    // Nothing is kept without a pinned view of the files, or from a walk that logged failures.
    m_lastWalk.reset();
    if (contents && api.loggedWalkFailures() == 0) {
        now.registrations = found;
        m_lastWalk = std::make_shared<const KeptWalk>(std::move(now));
    }
    return found;
}

void CDRegistryData::fSetRegistryData(HKEY root, std::string_view subKey,
                                      std::vector<std::string>& libraryPaths,
                                      std::vector<std::string>& keyPaths, std::vector<VbDate>& writeTimes) {
    return guard("fSetRegistryData", [&] {
        const auto found = walk(root, subKey);
        libraryPaths = found->libraryPaths;
        keyPaths = found->keyPaths;
        writeTimes = found->writeTimes;
    });
}

std::shared_ptr<const TypeLibRegistrations> CDRegistryData::registrations(HKEY root,
                                                                          std::string_view subKey) {
    // The walk fSetRegistryData makes, shared: the log names that procedure.
    return guard("fSetRegistryData", [&] { return walk(root, subKey); }); // procedure: fSetRegistryData
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
