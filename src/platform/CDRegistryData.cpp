#include "platform/CDRegistryData.h"

#include "platform/Registry.h"

namespace pelorix {
namespace {

// Keeps the root open while a walk runs, so that every key the walk opens sees the registry
// files as they were when the walk began.
class WalkPin {
public:
    explicit WalkPin(HKEY root) { Registry::process().RegOpenKeyEx(root, "", KEY_READ, m_key); }
    ~WalkPin() {
        if (m_key != 0)
            Registry::process().RegCloseKey(m_key);
    }
    WalkPin(const WalkPin&) = delete;
    WalkPin& operator=(const WalkPin&) = delete;

private:
    HKEY m_key = 0;
};

} // namespace

void CDRegistryData::fSetRegistryData(HKEY root, std::string_view subKey,
                                      std::vector<std::string>& libraryPaths,
                                      std::vector<std::string>& keyPaths, std::vector<VbDate>& writeTimes) {
    return guard("fSetRegistryData", [&] {
        const WalkPin pin(root);
        libraryPaths.clear();
        keyPaths.clear();
        writeTimes.clear();
        CFWin32API api;
        std::vector<std::string> names;
        const std::int32_t count = api.EnumKeys(root, subKey, names);
        for (std::int32_t i = 0; i < count; ++i)
            api.RecursiveRegEnumKeys(root, std::string(subKey) + "\\" + names[static_cast<std::size_t>(i)],
                                     libraryPaths, keyPaths, writeTimes);
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
