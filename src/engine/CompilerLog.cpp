#include "engine/CompilerLog.h"

#include "platform/Text.h"

namespace pelorix {

CompilerLogResult classifyCompilerLog(const std::vector<std::string>& lines) {
    CompilerLogResult result;
    bool codeSet = false;
    for (const std::string& line : lines) {
        if (line.empty())
            continue;
        result.lines.push_back(line);
        const auto index = static_cast<std::int32_t>(result.lines.size()) - 1;
        if (contains(line, CompilerLogText::Success)) {
            result.code = BuildResult::Success;
            result.decidingLine = index;
            break;
        }
        if (contains(line, CompilerLogText::NotFound)) {
            result.code = BuildResult::NotFound;
        } else if (contains(line, CompilerLogText::Implements) ||
                   contains(line, CompilerLogText::VersionCompatible)) {
            result.code = BuildResult::Compatibility;
        } else if (contains(line, CompilerLogText::Error)) {
            result.code = BuildResult::Error;
        } else if (codeSet) {
            continue; // an unknown line after one that set the code changes nothing
        } else {
            result.code = BuildResult::Error;
        }
        result.decidingLine = index;
        codeSet = true;
    }
    return result;
}

std::string compilerNotEndedText(std::string_view projectName, ProcessWaitEnd end, std::int32_t limitMs) {
    const std::string name(projectName);
    switch (end) {
    case ProcessWaitEnd::TimeLimit:
        return name + "のｺﾝﾊﾟｲﾗが" + std::to_string(limitMs) + "ﾐﾘ秒以内に終了しませんでした。";
    case ProcessWaitEnd::WaitFailed:
        return name + "のｺﾝﾊﾟｲﾗの終了を待てませんでした。";
    case ProcessWaitEnd::Cancelled:
        return name + "のｺﾝﾊﾟｲﾗの終了待ちを中止しました。";
    case ProcessWaitEnd::Ended:
        break;
    }
    return {};
}

} // namespace pelorix
