#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pelorix {

class IMessageBox;

// Levels of WriteErrorLog: they choose the message box's icon and title.
namespace ErrorLevel {
inline constexpr std::int32_t Information = 0;
inline constexpr std::int32_t Warning = 1;
inline constexpr std::int32_t Error = 2;
} // namespace ErrorLevel

// Appends one line to Pelorix.log in the program folder and, when show is true, shows the
// description in a message box. When the log cannot be written the line goes to standard error
// instead; this never throws.
void WriteErrorLog(std::int32_t number, std::string_view description, std::string_view procName,
                   std::string_view moduleName, std::int32_t level, bool show);

// The line WriteErrorLog writes, without its CR LF, for the given time stamp text.
std::string formatErrorLogLine(std::string_view stamp, std::int32_t number, std::string_view description,
                               std::string_view procName, std::string_view moduleName);

// A description holding CR LF, shortened so that the log keeps one line per call.
std::string shortenDescription(std::string_view description);

// How many times WriteErrorLog has been called in this process: lets an operation tell whether
// anything it called reported a failure.
std::uint64_t errorLogCallCount() noexcept;

// The message box WriteErrorLog uses for show = true; none (the default) shows nothing. The window
// program sets its own at start-up; the box must outlive its use.
void setErrorLogMessageBox(IMessageBox* box) noexcept;

} // namespace pelorix
