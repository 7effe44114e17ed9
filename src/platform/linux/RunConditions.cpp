#include "platform/RunConditions.h"

#include "formats/RegistryFile.h"
#include "platform/DriveMap.h"
#include "platform/FileKind.h"
#include "platform/HostFile.h"
#include "platform/linux/WinePrefix.h"

namespace pelorix {
namespace {

// Why a registry file of the prefix cannot be used: missing (when it must be there) or not a
// Wine registry file, read as the registry reads it.
std::optional<std::string> registryFileProblem(const std::string& hostPath, bool required) {
    if (hostFileKind(hostPath) == HostFileKind::Missing) {
        if (!required)
            return std::nullopt;
        return "ﾚｼﾞｽﾄﾘﾌｧｲﾙがありません。[" + hostPath + "]";
    }
    // The first line tells: the file is read up to it (a large registry is not read whole), or
    // far enough to show that the line is longer than the header.
    constexpr std::size_t kEnough = 64;
    std::string head;
    const std::int32_t code = readHostFileInPieces(hostPath, [&head](std::string_view piece) {
        head.append(piece);
        return head.size() < kEnough && head.find('\n') == std::string::npos;
    });
    if (code != 0 || !RegistryFile::isRegistryFile(head))
        return "Wineのﾚｼﾞｽﾄﾘﾌｧｲﾙではありません。[" + hostPath + "]";
    return std::nullopt;
}

} // namespace

std::optional<std::string> registryProblem() {
    const std::string prefix = winePrefix();
    const std::string lead = "Wineﾌﾟﾚﾌｨｯｸｽに使用できるﾚｼﾞｽﾄﾘがありません。";
    switch (hostFileKind(prefix)) {
    case HostFileKind::Missing:
        return lead + "ﾌﾟﾚﾌｨｯｸｽがありません。[" + prefix + "]";
    case HostFileKind::Folder:
        break;
    default:
        return lead + "ﾌﾟﾚﾌｨｯｸｽがﾌｫﾙﾀﾞではありません。[" + prefix + "]";
    }
    if (hostFileKind(prefix + "/dosdevices") != HostFileKind::Folder || DriveMap().drives().empty())
        return lead + "ﾄﾞﾗｲﾌﾞがありません。[" + prefix + "/dosdevices]";
    if (auto problem = registryFileProblem(prefix + "/system.reg", true))
        return lead + *problem;
    if (auto problem = registryFileProblem(prefix + "/user.reg", false))
        return lead + *problem;
    return std::nullopt;
}

} // namespace pelorix
