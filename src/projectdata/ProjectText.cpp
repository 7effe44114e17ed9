#include "projectdata/ProjectText.h"

#include "platform/CodePage.h"
#include "platform/DriveMap.h"
#include "platform/FileSystemObject.h"
#include "platform/HostFile.h"
#include "platform/RuntimeError.h"
#include "platform/Text.h"
#include "platform/Win32Error.h"

#include <cfenv>
#include <cmath>
#include <cstdlib>

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

RuntimeError fileError(std::int32_t win32Code) {
    switch (win32Code) {
    case win32::FileNotFound:
        return vberr::make(vberr::FileNotFound);
    case win32::PathNotFound:
        return vberr::make(vberr::PathNotFound);
    case win32::AccessDenied:
    case win32::SharingViolation:
        return vberr::make(vberr::PermissionDenied);
    case win32::InvalidName:
        return vberr::make(vberr::BadFileNameOrNumber);
    case win32::DiskFull:
        return vberr::make(61);
    default:
        return vberr::make(vberr::PathFileAccess);
    }
}

std::string readWindowsFile(std::string_view windowsPath) {
    const auto host = DriveMap::current().toHost(windowsPath);
    if (!host || windowsPath.empty())
        throw vberr::make(vberr::FileNotFound);
    std::int32_t code = 0;
    auto bytes = readHostFile(*host, &code);
    if (!bytes)
        throw fileError(code);
    return std::move(*bytes);
}

namespace {

// Why a file could not be read, in words: a folder is named as one, whatever code opening it gave.
std::string readFailureCause(std::string_view windowsPath, const RuntimeError& error) {
    if (!windowsPath.empty() && FileSystemObject().FolderExists(windowsPath))
        return "ﾌｧｲﾙではなくﾌｫﾙﾀﾞです。";
    switch (error.number()) {
    case vberr::FileNotFound:
        return "ﾌｧｲﾙが見つかりません。";
    case vberr::PathNotFound:
        return "ﾊﾟｽが見つかりません。";
    case vberr::PermissionDenied:
        return "読み取りが許可されていません。";
    default:
        return error.description();
    }
}

} // namespace

std::string readNamedFile(std::string_view windowsPath, std::string_view kind) {
    try {
        return readWindowsFile(windowsPath);
    } catch (const RuntimeError& error) {
        throw RuntimeError(error.number(), std::string(kind) + "を読み込めません。" +
                                               readFailureCause(windowsPath, error) + "[" +
                                               std::string(windowsPath) + "]");
    }
}

} // namespace pelorix
