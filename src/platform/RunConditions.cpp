#include "platform/RunConditions.h"

#include "platform/Environment.h"
#include "platform/FileKind.h"

namespace pelorix {

std::optional<std::string> programFolderProblem() {
    const std::string folder = programFolderHost();
    switch (hostFileKind(folder)) {
    case HostFileKind::Missing:
        return "ﾌﾟﾛｸﾞﾗﾑﾌｫﾙﾀﾞがありません。[" + folder + "]";
    case HostFileKind::Folder:
        break;
    default:
        return "ﾌﾟﾛｸﾞﾗﾑﾌｫﾙﾀﾞがﾌｫﾙﾀﾞではありません。[" + folder + "]";
    }
    if (!folderTakesFiles(folder))
        return "ﾌﾟﾛｸﾞﾗﾑﾌｫﾙﾀﾞに書き込めません。[" + folder + "]";
    return std::nullopt;
}

} // namespace pelorix
