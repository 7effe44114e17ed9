#pragma once

#include "platform/CFWin32API.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pelorix {

// Result codes of one project build and of a whole run.
namespace BuildResult {
inline constexpr std::int16_t Success = 0;
inline constexpr std::int16_t Rebuild = 1;          // failed, and a rebuild is wanted
inline constexpr std::int16_t Compatibility = 2;    // binary-compatibility problem
inline constexpr std::int16_t Cancelled = 4;        // run only
inline constexpr std::int16_t NotFound = 5;         // project or library not found
inline constexpr std::int16_t NotUpdated = 6;       // the project file could not be updated
inline constexpr std::int16_t NothingProcessed = 7; // run only
inline constexpr std::int16_t NotStarted = 9;       // "Execute" is off
inline constexpr std::int16_t Error = 99;           // error, unknown text, compiler or log never came
inline constexpr std::int16_t EmptyLog = -1;        // the log held no non-empty line
} // namespace BuildResult

// The texts of the compiler log that decide a build's outcome.
namespace CompilerLogText {
inline constexpr const char* Success = "ﾋﾞﾙﾄﾞが正常に終了しました。";
inline constexpr const char* NotFound = "ﾌﾟﾛｼﾞｪｸﾄまたはﾗｲﾌﾞﾗﾘが見つかりません。";
inline constexpr const char* Implements =
    "バイナリ互換 DLL または EXE 内に、Implements ステートメントで指定したデータ型の定義が見つかりません。";
inline constexpr const char* VersionCompatible = "ﾊﾞｰｼﾞｮﾝ互換ｺﾝﾎﾟｰﾈﾝﾄを設定できません";
inline constexpr const char* Error = "ｴﾗｰ";
} // namespace CompilerLogText

// The outcome of a compiler log: its code and the non-empty lines that were read (reading stops
// at the success line).
struct CompilerLogResult {
    std::int16_t code = BuildResult::EmptyLog;
    std::vector<std::string> lines;
    // The index in lines of the line that set the code; -1 when none did (an empty log).
    std::int32_t decidingLine = -1;
};

// Classifies the lines of a compiler log. Each non-empty line is tested in this order: the
// success text gives 0 and ends the reading; the not-found text gives 5; either
// binary-compatibility text gives 2; "ｴﾗｰ" gives 99; a line with none of them gives 99 only when
// no earlier line set a code. A later line overrides an earlier one. No non-empty line: -1.
CompilerLogResult classifyCompilerLog(const std::vector<std::string>& lines);

// The build-log text for a compiler that the build stopped waiting for before it ended: a time-out
// names the limit in milliseconds; a wait that failed or was cancelled says so, and names no limit.
std::string compilerNotEndedText(std::string_view projectName, ProcessWaitEnd end, std::int32_t limitMs);

} // namespace pelorix
