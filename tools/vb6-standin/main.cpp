// vb6-standin: a stand-in for the Visual Basic 6.0 compiler.
//
//   vb6-standin [/out LOG] (/make | /makedll) PROJECT
//
// LOG and PROJECT are Windows paths (mapped through the Wine prefix's drives) or host paths.
// Every run appends the arguments it received to the file named by PELORIX_STANDIN_RECORD (when
// set), in UTF-8: a line "args N", then the N arguments, one per line, exactly as received.
//
// What a run does is read from the project file:
//   StandIn=STEP[|STEP...]        the n-th run for this project takes the n-th STEP (the last one
//                                 repeats); the count is kept in PROJECT.standin-runs
//   StandIn@M=STEP[|STEP...]      the same, used instead while the file says CompatibleMode="M"
// A STEP is a comma-separated list of actions: "sleep:N" (wait N ms first), "save:FILE" (append a
// line to FILE, relative to the project's folder, as a user saving it meanwhile), "flood:N" (N KiB of
// lines the classification does not know come before the outcome's text, written piece by piece
// so that a huge log takes no memory here), "output:FILE" (the output a success writes is a copy of
// FILE, relative to the project's folder: a type library, as the compiler would make it) and one
// outcome:
//   ok          the success line (also without any StandIn line)
//   notfound    "project or library not found"
//   implements  the binary-compatibility text about Implements
//   version     the text about the version-compatible component
//   error       an error line
//   empty       only empty lines
//   unknown     one line the classification does not know
//   controls    an error line full of terminal control sequences
//   nolog       no log file at all
//   hang        never ends while the project file exists
//   compile[:N] a compile error in line N (default 1) of the project's first module
//   load[:missing]  errors during load, referring to FORM.log beside the project (FORM: its first
//               form, else frmMain), which holds the load errors; ":missing" writes no such log
// The texts are the Japanese compiler's unless the step holds the action "english" or the
// environment variable PELORIX_STANDIN_LANGUAGE is "en" (then "japanese" switches back); the
// English compiler follows a failure with "Build of 'NAME' failed." and says "File not found:"
// for a missing project file. The log is written in the ANSI code page (CP932 unless
// PELORIX_CODEPAGE says otherwise), in one step, at the end of the run. The exit status is 0 for
// "ok", else 1.
//
// A run that ends "ok" of a project whose file says "AutoIncrementVer=1" writes the next
// "RevisionVer" into the project file, as the compiler does.
//
// A run that ends "ok" also writes the project's output file, where the compiler would: its
// "ExeName32" in its "Path32", or its name with the extension of its type. The file holds a line
// naming the project and the time of the build, and the bytes of the project file as compiled, so
// that every build makes another file, as the compiler's link time does; or, with "output:FILE",
// FILE's bytes. A project file that says "StandInTypeLib=FILE" (relative to the project's folder)
// gets that type library's bytes at the start of its output, so that the output carries the
// library as a built component does.

#include "platform/CodePage.h"
#include "platform/Console.h"
#include "platform/DriveMap.h"
#include "platform/Environment.h"
#include "platform/HostFile.h"
#include "platform/Text.h"
#include "projectdata/ProjectDependencies.h"

#include <charconv>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace pelorix;
namespace fs = std::filesystem;

struct Invocation {
    std::string logPath;
    std::string projectPath;
    bool makeDll = false;
};

Invocation parseArguments(const std::vector<std::string>& args) {
    Invocation inv;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const bool hasNext = i + 1 < args.size();
        if (equalsIgnoreCase(args[i], "/out") && hasNext) {
            inv.logPath = args[++i];
        } else if ((equalsIgnoreCase(args[i], "/make") || equalsIgnoreCase(args[i], "/makedll")) && hasNext) {
            inv.makeDll = equalsIgnoreCase(args[i], "/makedll");
            inv.projectPath = args[++i];
        }
    }
    return inv;
}

std::string hostPath(const std::string& path) {
    const bool windowsForm = (path.size() >= 2 && path[1] == ':') || path.starts_with("\\\\");
    if (!windowsForm)
        return path;
    return DriveMap::current().toHost(path).value_or(std::string());
}

void record(const std::vector<std::string>& args) {
    const auto recordFile = hostEnv("PELORIX_STANDIN_RECORD");
    if (!recordFile || recordFile->empty())
        return;
    std::string entry = "args " + std::to_string(args.size()) + "\n";
    for (const auto& a : args)
        entry += a + "\n";
    appendHostFile(*recordFile, entry);
}

// The StandIn value that applies to this project file, "" when none.
std::string scriptOf(const std::string& projectText) {
    std::string general;
    std::string mode;
    std::string byMode;
    for (std::string_view line : splitLines(projectText)) {
        if (startsWithIgnoreCase(line, "CompatibleMode=")) {
            std::string value(line.substr(15));
            std::erase(value, '"');
            mode = value;
        } else if (startsWithIgnoreCase(line, "StandIn=")) {
            general = std::string(line.substr(8));
        } else if (startsWithIgnoreCase(line, "StandIn@")) {
            const auto eq = line.find('=');
            if (eq != std::string_view::npos)
                byMode += std::string(line.substr(8, eq - 8)) + "=" + std::string(line.substr(eq + 1)) + "\n";
        }
    }
    for (std::string_view entry : splitLines(byMode)) {
        const auto eq = entry.find('=');
        if (entry.substr(0, eq) == mode)
            return std::string(entry.substr(eq + 1));
    }
    return general;
}

// The number of earlier runs for this project, counted in a file beside it.
int nextRunNumber(const std::string& projectHost) {
    const std::string counter = projectHost + ".standin-runs";
    int runs = 0;
    if (auto text = readHostFile(counter)) {
        std::from_chars(text->data(), text->data() + text->size(), runs);
    }
    writeHostFileAtomically(counter, std::to_string(runs + 1));
    return runs;
}

std::string stepFor(const std::string& script, int run) {
    const auto steps = split(script, '|');
    const auto index = std::min<std::size_t>(static_cast<std::size_t>(run), steps.size() - 1);
    return std::string(trimWhite(steps[index]));
}

// The project as the stand-in's texts name its parts.
struct Project {
    std::string windowsPath; // as the command line gave it
    std::string target;      // the output file's name
    std::string text;        // the project file, decoded
};

// The folder of a path as given, with its separator.
std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The file of the first "KEY=..." line of the project ("Module=Name; File.bas" names the file
// after "; "), or fallback.
std::string memberFile(const std::string& projectText, std::string_view key, const std::string& fallback) {
    for (std::string_view line : splitLines(projectText)) {
        if (!startsWithIgnoreCase(line, key))
            continue;
        const std::string_view value = line.substr(key.size());
        const auto semicolon = value.find(';');
        return std::string(
            trimWhite(semicolon == std::string_view::npos ? value : value.substr(semicolon + 1)));
    }
    return fallback;
}

// An outcome's argument: "compile:12" -> "12".
std::string argumentOf(std::string_view outcome) {
    const auto colon = outcome.find(':');
    return colon == std::string_view::npos ? std::string() : std::string(outcome.substr(colon + 1));
}

// The English compiler's log; the referred load log is written here too.
std::string englishLogText(std::string_view outcome, const Project& project, const std::string& projectHost) {
    const std::string crlf = "\r\n";
    const std::string failed = "Build of '" + project.target + "' failed." + crlf;
    const std::string folder = folderOf(project.windowsPath);
    if (outcome == "missing")
        return "File not found: '" + project.windowsPath + "'" + crlf;
    if (outcome == "notfound")
        return "Can't find project or library" + crlf + failed;
    if (outcome == "implements")
        return "The binary compatibility DLL or EXE contains an Implements type whose definition cannot be "
               "found" +
               crlf + failed;
    if (outcome == "version")
        return "'Connect' has arguments and/or a return type that is incompatible with a similar declaration "
               "in "
               "the version-compatible component" +
               crlf + failed;
    if (outcome == "error" || outcome.starts_with("compile")) {
        const std::string line = argumentOf(outcome).empty() ? "1" : argumentOf(outcome);
        const std::string module =
            memberFile(project.text, "Module=", memberFile(project.text, "Class=", "Module1.bas"));
        return "Compile Error in File '" + folder + module + "', Line " + line +
               " : Duplicate declaration in current scope" + crlf + failed;
    }
    if (outcome.starts_with("load")) {
        const std::string form = memberFile(project.text, "Form=", "frmMain.frm");
        const std::string logName = fs::path(form).stem().string() + ".log";
        if (argumentOf(outcome) != "missing")
            writeHostFileAtomically(folderOf(projectHost) + logName,
                                    utf8ToAnsi("Line 0: The file " + folder + form + " could not be loaded." +
                                               crlf +
                                               "Line 12: Class MSComctlLib.ListView of control lvw was not a "
                                               "loaded control class." +
                                               crlf));
        return "Errors during load. Refer to '" + folder + logName + "' for details." + crlf + failed;
    }
    if (outcome == "unknown")
        return "Unexpected output: " + project.target + crlf;
    if (outcome == "ok")
        return "Build of '" + project.target + "' succeeded." + crlf;
    return {};
}

std::string logText(std::string_view outcome, const std::string& target) {
    const std::string crlf = "\r\n";
    if (outcome == "notfound")
        return "ﾌﾟﾛｼﾞｪｸﾄまたはﾗｲﾌﾞﾗﾘが見つかりません。" + crlf;
    if (outcome == "implements")
        return "'" + target +
               "' のﾋﾞﾙﾄﾞ中: バイナリ互換 DLL または EXE 内に、Implements ステートメントで指定したデータ型の"
               "定義が見つかりません。" +
               crlf;
    if (outcome == "version")
        return "ﾊﾞｰｼﾞｮﾝ互換ｺﾝﾎﾟｰﾈﾝﾄを設定できません: '" + target + "'" + crlf;
    if (outcome == "error" || outcome.starts_with("compile") || outcome.starts_with("load"))
        return "ｺﾝﾊﾟｲﾙ ｴﾗｰ: 変数が定義されていません。" + crlf;
    if (outcome == "empty")
        return crlf + crlf + crlf;
    if (outcome == "unknown")
        return "予期しない出力: " + target + crlf;
    if (outcome == "controls")
        return "\x1b]0;pwned\x07\x1b[2J\x1b[31mｺﾝﾊﾟｲﾙ ｴﾗｰ\x1b[0m\x08\x0c\x7f\xc2\x9b" + crlf;
    return "'" + target + "' のﾋﾞﾙﾄﾞが正常に終了しました。" + crlf;
}

// What the compiler makes of the project: a control project becomes an .ocx.
std::string targetExtension(const std::optional<std::string>& projectBytes, bool makeDll) {
    if (projectBytes)
        for (std::string_view line : splitLines(*projectBytes))
            if (equalsIgnoreCase(line, "Type=Control"))
                return ".ocx";
    return makeDll ? ".dll" : ".exe";
}

// Writes the log: floodKiB KiB of unknown lines, then the text, replacing the log in one step.
bool writeLog(const std::string& logHost, std::string_view text, long floodKiB) {
    if (floodKiB <= 0)
        return writeHostFileAtomically(logHost, text) == 0;
    const std::string part = logHost + ".part";
    std::error_code ignored;
    fs::remove(part, ignored);
    std::string piece;
    while (piece.size() < 1024 * 1024)
        piece += "Compiling module " + std::to_string(piece.size()) + "...\r\n";
    const long total = floodKiB * 1024;
    for (long written = 0; written < total;) {
        const auto size =
            static_cast<std::size_t>(std::min<long>(total - written, static_cast<long>(piece.size())));
        if (appendHostFile(part, std::string_view(piece).substr(0, size)) != 0)
            return false;
        written += static_cast<long>(size);
    }
    if (appendHostFile(part, "\r\n" + std::string(text)) != 0)
        return false;
    fs::rename(part, logHost, ignored);
    return !ignored;
}

// Writes the output file of a project built "ok" (a copy of the host file copyFrom when it is not
// empty); false when it cannot.
bool writeOutput(const std::string& projectPath, const std::string& projectBytes,
                 const std::string& copyFrom) {
    const bool windowsForm =
        (projectPath.size() >= 2 && projectPath[1] == ':') || projectPath.starts_with("\\\\");
    const std::string windowsPath = windowsForm ? projectPath : DriveMap::current().toWindows(projectPath);
    const std::string output = parseProjectFacts(windowsPath, projectBytes).outputPath;
    const std::string host = output.empty() ? std::string() : hostPath(output);
    if (host.empty())
        return false;
    std::error_code ignored;
    fs::create_directories(fs::path(host).parent_path(), ignored);
    if (!copyFrom.empty()) {
        const auto bytes = readHostFile(copyFrom);
        return bytes && writeHostFileAtomically(host, *bytes) == 0;
    }
    // Like the compiler's binary, which carries the time it was linked, every build's output differs.
    const auto linked = std::chrono::system_clock::now().time_since_epoch().count();
    std::string library;
    const std::string libraryFile = memberFile(ansiToUtf8(projectBytes), "StandInTypeLib=", "");
    if (!libraryFile.empty()) {
        const auto bytes =
            readHostFile((fs::path(hostPath(projectPath)).parent_path() / libraryFile).string());
        if (!bytes)
            return false;
        library = *bytes;
    }
    return writeHostFileAtomically(host, library + "vb6-standin output of " + windowsPath + " linked " +
                                             std::to_string(linked) + "\r\n" + projectBytes) == 0;
}

void sleepMs(long ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// A project that says AutoIncrementVer=1 gets the next revision number written into its file by a
// build that succeeds, as the compiler writes it.
void incrementRevision(const std::string& projectHost, const std::string& projectBytes) {
    if (!contains(projectBytes, "\nAutoIncrementVer=1") && !projectBytes.starts_with("AutoIncrementVer=1"))
        return;
    std::string text;
    for (const std::string_view line : splitLines(projectBytes)) {
        long revision = 0;
        if (line.starts_with("RevisionVer=") &&
            std::from_chars(line.data() + 12, line.data() + line.size(), revision).ec == std::errc())
            text += "RevisionVer=" + std::to_string(revision + 1);
        else
            text += line;
        text += "\r\n";
    }
    writeHostFileAtomically(projectHost, text);
}

// What the actions of a step make of a run.
struct Run {
    std::string outcome = "ok";
    long floodKiB = 0;
    bool english = false;
    std::string outputFrom; // the host file a success copies as its output ("" for none)
};

void takeStep(const std::string& step, const std::string& projectHost, Run& run) {
    for (const std::string& action : split(step, ',')) {
        const std::string_view a = trimWhite(action);
        if (a.starts_with("sleep:")) {
            long ms = 0;
            std::from_chars(a.data() + 6, a.data() + a.size(), ms);
            sleepMs(ms);
        } else if (a.starts_with("flood:")) {
            std::from_chars(a.data() + 6, a.data() + a.size(), run.floodKiB);
        } else if (a.starts_with("save:")) {
            // A user saving a source (named relative to the project's folder) during the build.
            appendHostFile((fs::path(projectHost).parent_path() / std::string(a.substr(5))).string(),
                           "' saved while the compiler ran\r\n");
        } else if (a.starts_with("output:")) {
            run.outputFrom = (fs::path(projectHost).parent_path() / std::string(a.substr(7))).string();
        } else if (a == "english" || a == "japanese") {
            run.english = a == "english";
        } else if (!a.empty()) {
            run.outcome = std::string(a);
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args = programArguments(argc, argv);
    if (!args.empty())
        args.erase(args.begin());
    const Invocation inv = parseArguments(args);
    const std::string projectHost = hostPath(inv.projectPath);
    const auto projectBytes = projectHost.empty() ? std::nullopt : readHostFile(projectHost);
    const std::string target =
        fs::path(projectHost).stem().string() + targetExtension(projectBytes, inv.makeDll);
    // The run is counted before it is recorded: a test that stops the compiler once it sees the
    // record never cuts the count's writing short (which would leave its staged file behind).
    const std::string script = projectBytes ? scriptOf(ansiToUtf8(*projectBytes)) : std::string();
    const std::string step = script.empty() ? std::string() : stepFor(script, nextRunNumber(projectHost));
    record(args);

    Run run;
    run.english = hostEnv("PELORIX_STANDIN_LANGUAGE").value_or("") == "en";
    if (!projectBytes)
        run.outcome = run.english ? "missing" : "notfound";
    else
        takeStep(step, projectHost, run);
    const std::string& outcome = run.outcome;
    const bool english = run.english;
    const long floodKiB = run.floodKiB;

    if (outcome == "hang") {
        // Hangs like a compiler waiting on a dialog, but goes away with its test's folder.
        while (!projectHost.empty() && fs::exists(projectHost))
            sleepMs(100);
        return 1;
    }
    if (outcome != "nolog" && !inv.logPath.empty()) {
        const std::string logHost = hostPath(inv.logPath);
        const Project project{inv.projectPath, target,
                              projectBytes ? ansiToUtf8(*projectBytes) : std::string()};
        std::string text = english ? englishLogText(outcome, project, projectHost) : std::string();
        if (text.empty())
            text = logText(outcome, target);
        if (logHost.empty() || !writeLog(logHost, utf8ToAnsi(text), floodKiB))
            std::fprintf(stderr, "vb6-standin: cannot write the log %s\n", inv.logPath.c_str());
    }
    if (outcome == "ok" && !writeOutput(inv.projectPath, *projectBytes, run.outputFrom))
        std::fprintf(stderr, "vb6-standin: cannot write the output of %s\n", inv.projectPath.c_str());
    if (outcome == "ok")
        incrementRevision(projectHost, *projectBytes);
    return outcome == "ok" ? 0 : 1;
}
