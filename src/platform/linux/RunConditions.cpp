#include "platform/RunConditions.h"

#include "formats/RegistryFile.h"
#include "platform/DriveMap.h"
#include "platform/Environment.h"
#include "platform/HostFile.h"

#include <sys/stat.h>
#include <unistd.h>

namespace pelorix {
namespace {

enum class Kind { Missing, Folder, Other };

Kind kindOf(const std::string& hostPath) {
    struct stat st {};
    if (::stat(hostPath.c_str(), &st) != 0)
        return Kind::Missing;
    return S_ISDIR(st.st_mode) ? Kind::Folder : Kind::Other;
}

// Why a registry file of the prefix cannot be used: missing (when it must be there) or not a
// Wine registry file, read as the registry reads it.
std::optional<std::string> registryFileProblem(const std::string& hostPath, bool required) {
    if (kindOf(hostPath) == Kind::Missing) {
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

std::optional<std::string> programFolderProblem() {
    const std::string folder = programFolderHost();
    switch (kindOf(folder)) {
    case Kind::Missing:
        return "ﾌﾟﾛｸﾞﾗﾑﾌｫﾙﾀﾞがありません。[" + folder + "]";
    case Kind::Other:
        return "ﾌﾟﾛｸﾞﾗﾑﾌｫﾙﾀﾞがﾌｫﾙﾀﾞではありません。[" + folder + "]";
    case Kind::Folder:
        break;
    }
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        return "ﾌﾟﾛｸﾞﾗﾑﾌｫﾙﾀﾞに書き込めません。[" + folder + "]";
    return std::nullopt;
}

std::optional<std::string> prefixRegistryProblem() {
    const std::string prefix = winePrefix();
    const std::string lead = "Wineﾌﾟﾚﾌｨｯｸｽに使用できるﾚｼﾞｽﾄﾘがありません。";
    switch (kindOf(prefix)) {
    case Kind::Missing:
        return lead + "ﾌﾟﾚﾌｨｯｸｽがありません。[" + prefix + "]";
    case Kind::Other:
        return lead + "ﾌﾟﾚﾌｨｯｸｽがﾌｫﾙﾀﾞではありません。[" + prefix + "]";
    case Kind::Folder:
        break;
    }
    if (kindOf(prefix + "/dosdevices") != Kind::Folder || DriveMap(prefix).drives().empty())
        return lead + "ﾄﾞﾗｲﾌﾞがありません。[" + prefix + "/dosdevices]";
    if (auto problem = registryFileProblem(prefix + "/system.reg", true))
        return lead + *problem;
    if (auto problem = registryFileProblem(prefix + "/user.reg", false))
        return lead + *problem;
    return std::nullopt;
}

} // namespace pelorix
