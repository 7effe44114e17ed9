#include "projectdata/ProjectText.h"

#include "platform/CodePage.h"
#include "platform/DriveMap.h"
#include "platform/FileKind.h"
#include "platform/FileSystemObject.h"
#include "platform/HostFile.h"
#include "platform/RuntimeError.h"
#include "platform/StagedFile.h"
#include "platform/Text.h"
#include "platform/Win32Error.h"

namespace pelorix {
namespace {

bool isContinuation(char c) noexcept {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The byte offset at which character number n (0-based) starts.
std::size_t byteOffsetOfChar(std::string_view text, std::size_t n) noexcept {
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (isContinuation(text[i]))
            continue;
        if (chars == n)
            return i;
        ++chars;
    }
    return text.size();
}

} // namespace

std::size_t charCount(std::string_view text) noexcept {
    std::size_t chars = 0;
    for (const char c : text)
        if (!isContinuation(c))
            ++chars;
    return chars;
}

std::string_view rightChars(std::string_view text, std::size_t n) noexcept {
    const std::size_t total = charCount(text);
    if (n >= total)
        return text;
    return text.substr(byteOffsetOfChar(text, total - n));
}

std::string_view skipChars(std::string_view text, std::size_t n) noexcept {
    return text.substr(byteOffsetOfChar(text, n));
}

std::optional<std::string> quotedValue(std::string_view line) {
    const auto first = line.find('"');
    if (first == std::string_view::npos)
        return std::nullopt;
    const auto last = line.rfind('"');
    if (last == first)
        throw vberr::make(vberr::InvalidArgument);
    return std::string(line.substr(first + 1, last - first - 1));
}

std::vector<std::string> decodedLines(std::string_view bytes) {
    std::vector<std::string> lines;
    for (const auto raw : splitLines(bytes))
        lines.push_back(ansiToUtf8(raw));
    return lines;
}

namespace {

// The bytes of a file at a Windows path, or nothing and the Win32 code of the failure.
std::optional<std::string> tryReadWindowsFile(std::string_view windowsPath, std::int32_t& code) {
    const auto host = DriveMap::current().toHost(windowsPath);
    if (!host || windowsPath.empty()) {
        code = win32::FileNotFound;
        return std::nullopt;
    }
    return readHostFile(*host, &code);
}

// Why a file could not be read, in words: a folder is named as one, whatever code opening it gave.
std::string readFailureCause(std::string_view windowsPath, std::int32_t code, const RuntimeError& error) {
    if (!windowsPath.empty() && FileSystemObject().FolderExists(windowsPath))
        return "ﾌｧｲﾙではなくﾌｫﾙﾀﾞです。";
    if (code == win32::OpenFailed)
        return notRegularFileCause(windowsPath);
    switch (code) {
    case win32::FileNotFound:
        return "ﾌｧｲﾙが見つかりません。";
    case win32::PathNotFound:
        return "ﾊﾟｽが見つかりません。";
    case win32::AccessDenied:
    case win32::SharingViolation:
        return "読み取りが許可されていません。";
    default:
        return error.description();
    }
}

} // namespace

std::string notRegularFileCause(std::string_view windowsPath) {
    const auto host = windowsPath.empty() ? std::nullopt : DriveMap::current().toHost(windowsPath);
    const HostFileKind kind = host ? hostFileKind(*host) : HostFileKind::Missing;
    if (kind == HostFileKind::Regular || kind == HostFileKind::Missing)
        return "通常のﾌｧｲﾙではありません。";
    return "ﾌｧｲﾙではなく" + std::string(hostFileKindTextJapanese(kind)) + "です。";
}

std::string writeFailureCause(std::string_view windowsPath, std::int32_t win32Code) {
    const std::string host = hostPathOf(windowsPath);
    const HostFileKind kind = hostFileKind(host);
    if (kind != HostFileKind::Missing && kind != HostFileKind::Regular)
        return notRegularFileCause(windowsPath);
    // A file marked read-only refuses to be replaced on Windows: that mark is the reason.
    if (kind == HostFileKind::Regular && win32Code == win32::AccessDenied &&
        (permissionBitsOf(host, 0644) & 0222) == 0)
        return "読み取り専用のﾌｧｲﾙです。";
    return win32::systemMessage(win32Code);
}

std::string readWindowsFile(std::string_view windowsPath) {
    std::int32_t code = 0;
    auto bytes = tryReadWindowsFile(windowsPath, code);
    if (!bytes)
        throw vberr::fromWin32(code);
    return std::move(*bytes);
}

std::string readNamedFile(std::string_view windowsPath, std::string_view kind) {
    std::int32_t code = 0;
    auto bytes = tryReadWindowsFile(windowsPath, code);
    if (!bytes) {
        const RuntimeError error = vberr::fromWin32(code);
        throw RuntimeError(error.number(), std::string(kind) + "を読み込めません。" +
                                               readFailureCause(windowsPath, code, error) + "[" +
                                               std::string(windowsPath) + "]");
    }
    return std::move(*bytes);
}

} // namespace pelorix
