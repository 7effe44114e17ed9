#pragma once

#include "platform/CFWin32API.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
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

// The texts of the Japanese compiler's log that decide a build's outcome. The texts of every
// language the classification knows are one table each in CompilerLog.cpp.
namespace CompilerLogText {
inline constexpr const char* Success = "ﾋﾞﾙﾄﾞが正常に終了しました。";
inline constexpr const char* NotFound = "ﾌﾟﾛｼﾞｪｸﾄまたはﾗｲﾌﾞﾗﾘが見つかりません。";
inline constexpr const char* Implements =
    "バイナリ互換 DLL または EXE 内に、Implements ステートメントで指定したデータ型の定義が見つかりません。";
inline constexpr const char* VersionCompatible = "ﾊﾞｰｼﾞｮﾝ互換ｺﾝﾎﾟｰﾈﾝﾄを設定できません";
inline constexpr const char* Error = "ｴﾗｰ";
} // namespace CompilerLogText

// Where the compiler found a compile error, as its log's line names it.
struct CompileErrorLocation {
    std::string file; // as the log writes it: absolute ("C:\src\a.bas") or from the root ("\src\a.bas")
    std::int32_t line = 0;
    std::string message;
    bool operator==(const CompileErrorLocation&) const = default;
};

// "FILE(LINE): MESSAGE", the form compilers and the tools that read their output use.
std::string compileErrorText(const CompileErrorLocation& location);

// The location a compile-error line of any known language gives ("Compile Error in File 'F',
// Line N : MESSAGE"); nothing for any other line, and for a line number that is not 1 to 2^31-1.
std::optional<CompileErrorLocation> parseCompileErrorLine(std::string_view line);

// The log a load-error line of any known language refers to for its details ("Errors during
// load. Refer to 'C:\src\frmMain.log' for details."), as written; nothing for any other line.
std::optional<std::string> referredLogPath(std::string_view line);

// A log that the compiler's log refers to for details, as read after the compiler's log.
struct ReferredLog {
    enum class State {
        Read,
        Missing,
        Unreadable, // the file is there and cannot be read (a pipe, a device, no access)
        Refused,    // the path is no log of the project's (see readReferredLog): named, not read
    };
    std::string path; // the Windows path as the compiler's log names it
    State state = State::Missing;
    std::int32_t errorCode = 0;     // the Win32 code of Unreadable
    std::string refusal;            // why a Refused path is not read
    std::vector<std::string> lines; // its non-empty lines, the first ones up to the bounds
    bool cut = false;               // the log goes on past the bounds and was read no further
};

// The outcome of a compiler log: its code and the non-empty lines that were read (reading stops
// at the success line). A huge log keeps only some of its lines (see CompilerLogReader): marker
// lines stand for those left out.
struct CompilerLogResult {
    std::int16_t code = BuildResult::EmptyLog;
    std::vector<std::string> lines;
    // The index in lines of the line that set the code; -1 when none did (an empty log).
    std::int32_t decidingLine = -1;
    // The compile errors the lines name, in log order (the first CompilerLogBounds::Locations).
    std::vector<CompileErrorLocation> compileErrors;
    // The logs the lines refer to for details, each once, in log order; readCompilerLog reads them.
    std::vector<ReferredLog> referredLogs;
    // Reading stopped at a line limit (see CompilerLogReader) before the log's end.
    bool cut = false;
};

// The lines a build log shows of a compiler log after the compiler's own: one per compile error,
// then each referred log's lines marked with its file's name, or why it could not be read.
std::vector<std::string> compilerLogNotes(const CompilerLogResult& result);

// Classifies the lines of a compiler log. Each non-empty line is tested, against the texts of
// every known language at once, in this order: a success text gives 0 and ends the reading; a
// not-found text gives 5; a binary-compatibility text gives 2; an error text (a compile error
// among them) gives 99; a line with none of them (a failure summary such as "Build of 'A.exe'
// failed." among them) gives 99 only when no earlier line set a code. A later line overrides an
// earlier one. No non-empty line: -1.
CompilerLogResult classifyCompilerLog(const std::vector<std::string>& lines);

// What a compiler log keeps of a huge log. Classification reads every line; what is kept for the
// build log is bounded: the first lines, the line that set the code, and the last lines, with a
// marker line for each run of lines left out. A line is kept up to LineBytes, then cut with a
// marker at its end.
namespace CompilerLogBounds {
inline constexpr std::size_t HeadLines = 1000;
inline constexpr std::size_t HeadBytes = 1024 * 1024;
inline constexpr std::size_t TailLines = 50;
inline constexpr std::size_t LineBytes = 16 * 1024;
inline constexpr std::size_t Locations = 100;   // compile errors kept
inline constexpr std::size_t ReferredLogs = 16; // referred logs read
// Of a referred log only its start is read: its first lines, and no more bytes than these.
inline constexpr std::size_t ReferredLogLines = 1000;
inline constexpr std::size_t ReferredLogBytes = 1024 * 1024;
} // namespace CompilerLogBounds

// Reads a compiler log as a stream of bytes in the ANSI code page, in pieces of any size, and
// classifies it as classifyCompilerLog does, in memory bounded whatever the log's size or the
// length of its lines. Lines end at CR LF, LF or CR.
class CompilerLogReader {
public:
    // classify false reads the lines alone, as of a log the compiler's log refers to: no code,
    // no location, and reading stops early only at the line limit (0: none): a line past it ends
    // the reading, and the result says that the log was cut.
    explicit CompilerLogReader(bool classify = true, std::size_t lineLimit = 0);
    ~CompilerLogReader();
    CompilerLogReader(const CompilerLogReader&) = delete;
    CompilerLogReader& operator=(const CompilerLogReader&) = delete;

    // Takes the next bytes of the log; false once the success line was read (the rest does not
    // matter).
    bool add(std::string_view bytes);
    // The outcome, once every byte was added.
    CompilerLogResult finish();

private:
    class State;
    std::unique_ptr<State> m_state;
    friend CompilerLogResult classifyCompilerLog(const std::vector<std::string>& lines);
};

// Where the compiler writes the logs its log refers to: the folder of each form, user control,
// property page, user document and designer it loads (a load error's log lies beside the file), and
// the project's own folder, first. Windows paths; the project's folder alone when the project file
// cannot be read.
std::vector<std::string> referredLogFolders(std::string_view projectFilePath);

// Reads and classifies the compiler log at a Windows path; a file that cannot be read raises the
// run-time error of its Win32 code. Then reads the logs it refers to (readReferredLog): one that is
// missing, cannot be read or is refused is noted as such, not raised.
CompilerLogResult readCompilerLog(std::string_view windowsPath,
                                  const std::vector<std::string>& logFolders = {});

// Reads a log that a compiler log refers to (a relative path below the first of logFolders). Only a
// log of the project's is read: a file whose name ends in ".log", in one of logFolders, that is
// itself a regular file (no link); any other path is Refused, named but never opened, however the
// compiler's log came to name it. Of a log only its start is read (CompilerLogBounds::
// ReferredLogLines lines, ReferredLogBytes bytes), cut saying so; what is no regular file (a device,
// a pipe) is Unreadable.
ReferredLog readReferredLog(std::string_view windowsPath, const std::vector<std::string>& logFolders);

// The compiler log of a project in the program folder (its path ending in "\"): the project's name
// with ".log", every character that could lead out of the folder or is no file-name character as
// "_".
std::string compilerLogPath(std::string_view programFolder, std::string_view projectName);

// The build-log text for a compiler that the build stopped waiting for before it ended: a time-out
// names the limit in milliseconds; a wait that failed or was stopped says so, and names no limit.
// ended adds that the compiler was ended with the processes it started.
std::string compilerNotEndedText(std::string_view projectName, ProcessWaitEnd end, std::int32_t limitMs,
                                 bool ended = false);

} // namespace pelorix
