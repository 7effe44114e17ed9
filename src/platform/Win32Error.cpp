#include "platform/Win32Error.h"

namespace pelorix {
namespace {
thread_local std::int32_t t_lastError = 0;
}

std::int32_t GetLastError() noexcept {
    return t_lastError;
}
void SetLastError(std::int32_t code) noexcept {
    t_lastError = code;
}

namespace win32 {

std::string systemMessage(std::int32_t code) {
    switch (code) {
    case Success:
        return "この操作を正しく終了しました。";
    case FileNotFound:
        return "指定されたファイルが見つかりません。";
    case PathNotFound:
        return "指定されたパスが見つかりません。";
    case AccessDenied:
        return "アクセスが拒否されました。";
    case InvalidHandle:
        return "ハンドルが無効です。";
    case NotEnoughMemory:
        return "このコマンドを実行するのに十分な記憶域がありません。";
    case 31:
        return "システムに接続されたデバイスが機能していません。";
    case SharingViolation:
        return "プロセスはファイルにアクセスできません。別のプロセスが使用中です。";
    case FileExists:
        return "ファイルがあります。";
    case InvalidParameter:
        return "パラメーターが間違っています。";
    case OpenFailed:
        return "システムは指定されたデバイスまたはファイルを開くことができません。";
    case DiskFull:
        return "ディスクに十分な空き領域がありません。";
    case InvalidName:
        return "ファイル名、ディレクトリ名、またはボリューム ラベルの構文が間違っています。";
    case NegativeSeek:
        return "ファイル ポインターをファイルの先頭より前に設定しようとしました。";
    case AlreadyExists:
        return "既に存在するファイルを作成することはできません。";
    case BadExeFormat:
        return "%1 は有効な Win32 アプリケーションではありません。";
    case FilenameExcedRange:
        return "ファイル名または拡張子が長すぎます。";
    case MoreData:
        return "データがさらにあります。";
    case NoMoreItems:
        return "データはこれ以上ありません。";
    case Directory:
        return "ディレクトリ名が無効です。";
    default:
        return {};
    }
}

} // namespace win32
} // namespace pelorix
