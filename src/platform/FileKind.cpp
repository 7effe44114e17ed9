#include "platform/FileKind.h"

namespace pelorix {

std::string_view hostFileKindText(HostFileKind kind) noexcept {
    switch (kind) {
    case HostFileKind::Missing:
        return "missing";
    case HostFileKind::Regular:
        return "a regular file";
    case HostFileKind::Folder:
        return "a folder";
    case HostFileKind::Fifo:
        return "a pipe (FIFO)";
    case HostFileKind::Device:
        return "a device";
    case HostFileKind::Socket:
        return "a socket";
    case HostFileKind::DanglingLink:
        return "a symbolic link to nothing";
    }
    return "unknown";
}

std::string_view hostFileKindTextJapanese(HostFileKind kind) noexcept {
    switch (kind) {
    case HostFileKind::Missing:
        return "存在しません";
    case HostFileKind::Regular:
        return "ﾌｧｲﾙ";
    case HostFileKind::Folder:
        return "ﾌｫﾙﾀﾞ";
    case HostFileKind::Fifo:
        return "ﾊﾟｲﾌﾟ(FIFO)";
    case HostFileKind::Device:
        return "ﾃﾞﾊﾞｲｽ";
    case HostFileKind::Socket:
        return "ｿｹｯﾄ";
    case HostFileKind::DanglingLink:
        return "行き先のないｼﾝﾎﾞﾘｯｸﾘﾝｸ";
    }
    return "不明";
}

} // namespace pelorix
