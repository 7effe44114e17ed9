#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelorix {

// Small text steps the project data shares between reading, updating and resolving. Texts are
// UTF-8; where a rule counts characters (as the platform's string functions do), a character is
// one code point, so a multi-byte character counts once.

// The number of characters of a UTF-8 text.
std::size_t charCount(std::string_view text) noexcept;
// The last n characters (all of it when n is larger).
std::string_view rightChars(std::string_view text, std::size_t n) noexcept;
// The text after its first n characters.
std::string_view skipChars(std::string_view text, std::size_t n) noexcept;

// The text between the first and the last double quote of a line, both excluded; nothing when
// the line holds no quote; error 5 when it holds exactly one (the length would be negative).
std::optional<std::string> quotedValue(std::string_view line);

// The decoded lines of a text file's bytes (CR LF, CR or a lone LF end a line).
std::vector<std::string> decodedLines(std::string_view bytes);

// The bytes of a file at a Windows path. A missing file raises 53, any other failure the
// runtime's file error that fits the platform's code.
std::string readWindowsFile(std::string_view windowsPath);

// The bytes of a file the program was given by name: a project list, a batch or a project file,
// named by its kind ("ﾊﾞｯﾁﾌｧｲﾙ"). A failure raises the same error number as readWindowsFile with
// a description that names the kind, the cause and the path: kind, "を読み込めません。", the
// cause ("ﾌｧｲﾙが見つかりません。", "ﾌｧｲﾙではなくﾌｫﾙﾀﾞです。", "読み取りが許可されていません。"
// ...), and the path in square brackets.
std::string readNamedFile(std::string_view windowsPath, std::string_view kind);

// Why a path that is no regular file cannot be read or written as one: "ﾌｧｲﾙではなく" and what it
// is ("ﾊﾟｲﾌﾟ(FIFO)", "ﾃﾞﾊﾞｲｽ" ...) and "です。".
std::string notRegularFileCause(std::string_view windowsPath);

// Why a file could not be written (win32Code the failure's code): what the path names when that is
// no regular file (notRegularFileCause), that it is read-only when that refused it, else the
// system's text of the code.
std::string writeFailureCause(std::string_view windowsPath, std::int32_t win32Code);

} // namespace pelorix
