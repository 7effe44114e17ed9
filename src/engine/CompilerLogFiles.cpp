// The compiler's log and the logs it refers to, as files: where they are, how they are read, and
// the lines a build log shows of them.
#include "engine/CompilerLog.h"
#include "platform/DosPath.h"
#include "platform/DriveMap.h"
#include "platform/FileKind.h"
#include "platform/FileSystemObject.h"
#include "platform/HostFile.h"
#include "platform/RuntimeError.h"
#include "platform/Text.h"
#include "platform/Win32Error.h"
#include "projectdata/ProjectDependencies.h"

#include <algorithm>

namespace pelorix {

namespace {

std::string fileNameOf(std::string_view windowsPath) {
    const auto slash = windowsPath.find_last_of("\\/");
    return std::string(slash == std::string_view::npos ? windowsPath : windowsPath.substr(slash + 1));
}

// Why the compiler's log may not lead the reading to a path: "" when the path is a log of the
// project's (see readReferredLog).
std::string refusalOf(const std::string& path, const std::vector<std::string>& logFolders) {
    if (path.empty())
        return "ﾊﾟｽではありません";
    if (!endsWithIgnoreCase(path, ".log"))
        return "名前が.logで終わりません";
    const std::string folder = FileSystemObject::GetParentFolderName(path);
    if (std::none_of(logFolders.begin(), logFolders.end(),
                     [&](const std::string& allowed) { return equalsIgnoreCase(allowed, folder); }))
        return "ﾌﾟﾛｼﾞｪｸﾄとそのﾌｫｰﾑのﾌｫﾙﾀﾞの外にあります";
    return "";
}

// The start of a log: its first lines up to the bounds; cut when there is more.
void readLogStart(const std::string& host, ReferredLog& log) {
    CompilerLogReader reader(false, CompilerLogBounds::ReferredLogLines);
    std::size_t taken = 0;
    bool pastBytes = false;
    log.errorCode = readHostFileInPieces(host, [&](std::string_view piece) {
        const std::size_t room = CompilerLogBounds::ReferredLogBytes - taken;
        pastBytes = piece.size() > room;
        piece = piece.substr(0, std::min(piece.size(), room));
        taken += piece.size();
        return reader.add(piece) && !pastBytes;
    });
    if (log.errorCode != 0) {
        log.state = ReferredLog::State::Unreadable;
        return;
    }
    CompilerLogResult start = reader.finish();
    log.state = ReferredLog::State::Read;
    log.lines = std::move(start.lines);
    log.cut = start.cut || pastBytes;
}

} // namespace

std::vector<std::string> referredLogFolders(std::string_view projectFilePath) {
    std::vector<std::string> folders{FileSystemObject::GetParentFolderName(projectFilePath)};
    for (const ProjectSource& source : readProjectFacts(projectFilePath).sources) {
        static constexpr std::string_view Loaded[] = {"Form", "UserControl", "PropertyPage", "UserDocument",
                                                      "Designer"};
        const std::string folder = FileSystemObject::GetParentFolderName(source.path);
        if (std::find(std::begin(Loaded), std::end(Loaded), source.key) != std::end(Loaded) &&
            std::none_of(folders.begin(), folders.end(),
                         [&](const std::string& known) { return equalsIgnoreCase(known, folder); }))
            folders.push_back(folder);
    }
    return folders;
}

CompilerLogResult readCompilerLog(std::string_view windowsPath, const std::vector<std::string>& logFolders) {
    const auto host = DriveMap::current().toHost(windowsPath);
    if (!host || windowsPath.empty())
        throw vberr::fromWin32(win32::FileNotFound);
    CompilerLogReader reader;
    const std::int32_t code =
        readHostFileInPieces(*host, [&reader](std::string_view piece) { return reader.add(piece); });
    if (code != 0)
        throw vberr::fromWin32(code);
    CompilerLogResult result = reader.finish();
    for (ReferredLog& referred : result.referredLogs)
        referred = readReferredLog(referred.path, logFolders);
    return result;
}

ReferredLog readReferredLog(std::string_view windowsPath, const std::vector<std::string>& logFolders) {
    ReferredLog log;
    log.path = std::string(windowsPath);
    const std::string path =
        absoluteDosPath(replaceAll(windowsPath, "/", "\\"), logFolders.empty() ? "" : logFolders.front());
    log.refusal = refusalOf(path, logFolders);
    if (!log.refusal.empty()) {
        log.state = ReferredLog::State::Refused;
        return log;
    }
    const auto host = DriveMap::current().toHost(path);
    if (!host || hostLinkKind(*host) == HostFileKind::Missing ||
        hostLinkKind(*host) == HostFileKind::DanglingLink)
        return log;
    if (isSymbolicLink(*host)) {
        log.state = ReferredLog::State::Refused;
        log.refusal = "ｼﾝﾎﾞﾘｯｸﾘﾝｸです";
        return log;
    }
    readLogStart(*host, log);
    return log;
}

std::string compilerLogPath(std::string_view programFolder, std::string_view projectName) {
    std::string name(projectName);
    for (char& c : name)
        if (std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos)
            c = '_';
    return std::string(programFolder) + name + ".log";
}

std::vector<std::string> compilerLogNotes(const CompilerLogResult& result) {
    std::vector<std::string> notes;
    for (const CompileErrorLocation& location : result.compileErrors)
        notes.push_back("ｺﾝﾊﾟｲﾙｴﾗｰ: " + compileErrorText(location));
    for (const ReferredLog& log : result.referredLogs) {
        switch (log.state) {
        case ReferredLog::State::Missing:
            notes.push_back("ｺﾝﾊﾟｲﾗのﾛｸﾞが参照するﾌｧｲﾙがありません: " + log.path);
            break;
        case ReferredLog::State::Unreadable:
            notes.push_back("ｺﾝﾊﾟｲﾗのﾛｸﾞが参照するﾌｧｲﾙを読めません: " + log.path + " (" +
                            win32::systemMessage(log.errorCode) + ")");
            break;
        case ReferredLog::State::Refused:
            notes.push_back("ｺﾝﾊﾟｲﾗのﾛｸﾞが参照するﾌｧｲﾙは読みません(" + log.refusal + "): " + log.path);
            break;
        case ReferredLog::State::Read:
            notes.push_back("ｺﾝﾊﾟｲﾗのﾛｸﾞが参照するﾌｧｲﾙ: " + log.path + " (" +
                            std::to_string(log.lines.size()) + "行" +
                            (log.cut ? "。以降は読まずに省略しました" : "") + ")");
            for (const std::string& line : log.lines)
                notes.push_back("[" + fileNameOf(log.path) + "] " + line);
            break;
        }
    }
    return notes;
}

std::string compilerNotEndedText(std::string_view projectName, ProcessWaitEnd end, std::int32_t limitMs,
                                 bool ended) {
    const std::string name(projectName);
    const std::string endedText = ended ? "ｺﾝﾊﾟｲﾗのﾌﾟﾛｾｽを終了させました。" : "";
    switch (end) {
    case ProcessWaitEnd::TimeLimit:
        return name + "のｺﾝﾊﾟｲﾗが" + std::to_string(limitMs) + "ﾐﾘ秒以内に終了しませんでした。" + endedText;
    case ProcessWaitEnd::WaitFailed:
        return name + "のｺﾝﾊﾟｲﾗの終了を待てませんでした。" + endedText;
    case ProcessWaitEnd::Cancelled:
        return name + "のｺﾝﾊﾟｲﾗの終了待ちを中止しました。" + endedText;
    case ProcessWaitEnd::Ended:
        break;
    }
    return {};
}

} // namespace pelorix
