#include "platform/ErrorLog.h"

#include "platform/CodePage.h"
#include "platform/DriveMap.h"
#include "platform/Environment.h"
#include "platform/HostFile.h"
#include "platform/TimeFormat.h"
#include "platform/UserInterface.h"

#include <atomic>
#include <cstdio>

namespace pelorix {
namespace {

std::atomic<IMessageBox*> g_messageBox{nullptr};
std::atomic<std::uint64_t> g_callCount{0};

void writeToStandardError(const std::string& line, std::int32_t code) {
    std::fprintf(stderr, "Pelorix.log could not be written (Win32 error %d): %s\n", static_cast<int>(code),
                 line.c_str());
}

} // namespace

void setErrorLogMessageBox(IMessageBox* box) noexcept {
    g_messageBox = box;
}

std::uint64_t errorLogCallCount() noexcept {
    return g_callCount.load();
}

std::string shortenDescription(std::string_view description) {
    // The text before the last CR LF is kept: system texts end with CR LF, and the program's own
    // messages put their statement first. Line breaks still inside it are folded into spaces so
    // that each call stays one line of the log.
    const auto last = description.rfind("\r\n");
    const std::string_view kept = last == std::string_view::npos ? description : description.substr(0, last);
    std::string line;
    line.reserve(kept.size());
    for (std::size_t i = 0; i < kept.size(); ++i) {
        if (kept[i] == '\r' || kept[i] == '\n') {
            if (kept[i] == '\r' && i + 1 < kept.size() && kept[i + 1] == '\n')
                ++i;
            line += ' ';
        } else {
            line += kept[i];
        }
    }
    return line;
}

std::string formatErrorLogLine(std::string_view stamp, std::int32_t number, std::string_view description,
                               std::string_view procName, std::string_view moduleName) {
    constexpr std::string_view sep = "\", \"";
    std::string line;
    line.reserve(stamp.size() + description.size() + procName.size() + moduleName.size() + 32);
    line += '"';
    line += stamp;
    line += sep;
    line += std::to_string(number);
    line += sep;
    line += description;
    line += sep;
    line += procName;
    line += sep;
    line += moduleName;
    line += '"';
    return line;
}

void WriteErrorLog(std::int32_t number, std::string_view description, std::string_view procName,
                   std::string_view moduleName, std::int32_t level, bool show) {
    ++g_callCount;
    std::string text;
    std::string line;
    try {
        text = shortenDescription(description);
        line = formatErrorLogLine(timeStamp(), number, text, procName, moduleName);
        const std::string logPath = App_Path() + "\\Pelorix.log";
        const std::string host = hostPathOf(logPath);
        const std::int32_t code = host.empty() ? 3 : appendHostFile(host, utf8ToAnsi(line) + "\r\n");
        if (code != 0)
            writeToStandardError(line, code);
    } catch (...) {
        writeToStandardError(line, -1);
    }

    if (!show)
        return;
    IMessageBox* box = g_messageBox.load();
    if (box == nullptr)
        return;
    MsgIcon icon = MsgIcon::None;
    std::string title;
    switch (level) {
    case ErrorLevel::Information:
        icon = MsgIcon::Information;
        title = "Pelorix";
        break;
    case ErrorLevel::Warning:
        icon = MsgIcon::Exclamation;
        title = "警告";
        break;
    case ErrorLevel::Error:
        icon = MsgIcon::Critical;
        title = "Error";
        break;
    default:
        break;
    }
    try {
        box->show(text, title, MsgButtons::Ok, icon, true);
    } catch (...) {
        // A box that cannot be shown must not replace the error being reported.
    }
}

} // namespace pelorix
