#include "platform/RunConditions.h"

#include "platform/Environment.h"
#include "platform/win32/WindowsApi.h"

namespace pelorix {

std::optional<std::string> programFolderProblem() {
    const std::string folder = programFolderHost();
    const DWORD attributes = ::GetFileAttributesW(winapi::widePath(folder).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return "ﾌﾟﾛｸﾞﾗﾑﾌｫﾙﾀﾞがありません。[" + folder + "]";
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        return "ﾌﾟﾛｸﾞﾗﾑﾌｫﾙﾀﾞがﾌｫﾙﾀﾞではありません。[" + folder + "]";
    // Making a file there is the one test that respects every access rule of the folder.
    const std::wstring probe =
        winapi::widePath(folder + "\\Pelorix.probe-" + std::to_string(::GetCurrentProcessId()));
    const winapi::UniqueHandle file(::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                                  FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE,
                                                  nullptr));
    if (!file)
        return "ﾌﾟﾛｸﾞﾗﾑﾌｫﾙﾀﾞに書き込めません。[" + folder + "]";
    return std::nullopt;
}

std::optional<std::string> prefixRegistryProblem() {
    // The registry is the system's own: there is always one.
    return std::nullopt;
}

} // namespace pelorix
