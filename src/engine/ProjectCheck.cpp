#include "engine/ProjectCheck.h"

#include "engine/BinaryCompatibility.h"
#include "engine/CompilerLog.h"
#include "platform/CCCommon.h"
#include "platform/CDRegistryData.h"
#include "platform/CFWin32API.h"
#include "platform/DosPath.h"
#include "platform/Environment.h"
#include "platform/FileSystemObject.h"
#include "platform/RuntimeError.h"
#include "platform/Text.h"
#include "projectdata/CDFileData.h"
#include "projectdata/ProjectDependencies.h"
#include "projectdata/ProjectFileKeys.h"
#include "projectdata/ProjectText.h"

#include <algorithm>
#include <map>

namespace pelorix {

namespace {

constexpr std::string_view TypeLibReference = "*\\G";
constexpr std::string_view ProjectReference = "*\\A";
constexpr std::int32_t ReferenceChange = 1; // the update log's kind of a changed reference line

bool contains(std::string_view text, std::string_view what) {
    return text.find(what) != std::string_view::npos;
}

// Whether a library file exists. A registered path may end in the index of the type library
// inside its file ("...\vbscript.dll\3"); the file is then the path without it.
bool libraryFileExists(std::string_view path) {
    const FileSystemObject fso;
    if (fso.FileExists(path))
        return true;
    const auto separator = path.rfind('\\');
    if (separator == std::string_view::npos || separator + 1 == path.size())
        return false;
    const std::string_view last = path.substr(separator + 1);
    const bool resourceIndex =
        std::all_of(last.begin(), last.end(), [](char c) { return c >= '0' && c <= '9'; });
    return resourceIndex && fso.FileExists(path.substr(0, separator));
}

// The "#"-separated fields of a reference line from its first "{" on (none without one).
std::vector<std::string> referenceFields(std::string_view line) {
    const auto brace = line.find('{');
    return brace == std::string_view::npos ? std::vector<std::string>{} : split(line.substr(brace), '#');
}

// How a reference line names its library in a message: its description, else its file.
std::string libraryName(const std::vector<std::string>& fields) {
    if (fields.size() > 4 && !trimWhite(fields[4]).empty())
        return std::string(trimWhite(fields[4]));
    return fields.size() > 3 ? fields[3] : std::string("?");
}

// A line's identifier and version as the update log shows them: "{GUID} 2.1".
std::string libraryVersion(const std::vector<std::string>& fields) {
    return (fields.empty() ? std::string("?") : fields[0]) + " " + (fields.size() > 1 ? fields[1] : "?");
}

// The compiler a build run starts: the command the prefix registers for "Build"/"Extension"
// under "Build"/"ShellCommand" of Pelorix.ini, each key's default used when it is empty.
struct CompilerCommand {
    std::string extension = ".vbp";
    std::string verb = "shell\\open\\command";
    std::string command;
};

CompilerCommand readCompilerCommand(CFWin32API& api) {
    CompilerCommand compiler;
    CCCommon common;
    for (auto [key, value] :
         {std::pair{"Extension", &compiler.extension}, std::pair{"ShellCommand", &compiler.verb}})
        if (const std::string text = api.GetTerminalProfile("Build", key, ""); !common.fIsNull(text))
            *value = text;
    compiler.command = CDRegistryData().fGetShellExProgPath(compiler.extension, compiler.verb);
    return compiler;
}

void checkCompiler(CFWin32API& api, std::vector<CheckFinding>& findings) {
    const CompilerCommand compiler = readCompilerCommand(api);
    const auto add = [&](CheckSeverity severity, std::string what, std::string detail) {
        findings.push_back({severity, "", 0, std::move(what), std::move(detail)});
    };
    if (trimWhite(compiler.command).empty()) {
        const auto folder = registryFolder();
        add(CheckSeverity::Error, "no compiler registered",
            "nothing is registered for " + compiler.extension + " under " + compiler.verb +
                (folder ? " in the prefix " + *folder : std::string()));
        return;
    }
    if (programOfCommandLine(compiler.command).empty())
        add(CheckSeverity::Error, "compiler program missing",
            "the program of the " + compiler.extension + " command does not exist: " + compiler.command);
    else if (const std::string problem = programStartProblem(compiler.command); !problem.empty())
        add(CheckSeverity::Error, "compiler program cannot start", problem);
    if (!contains(compiler.command, "\"%1\""))
        add(CheckSeverity::Warning, "compiler command without \"%1\"",
            "the build's arguments have no place in the " + compiler.extension +
                " command: " + compiler.command);
}

struct Target {
    std::string path;
    std::int16_t mode;
    std::string name;
};

// The checks of one project file, line by line.
class ProjectChecker {
public:
    ProjectChecker(CDFileData& fileData, const std::vector<Target>& targets,
                   std::vector<CheckFinding>& findings)
        : m_data(fileData), m_targets(targets), m_findings(findings),
          m_windowsFolder(getEnvironmentVariable("WINDIR")) {}

    void check(std::size_t position);

private:
    void add(CheckSeverity severity, std::int32_t lineNumber, std::string what, std::string detail) {
        m_findings.push_back({severity, m_path, lineNumber, std::move(what), std::move(detail)});
    }
    std::map<std::int32_t, ProjectLineChange> referenceChanges();
    void checkReference(std::int32_t lineNumber, const std::string& line, const ProjectLineChange* change);
    void checkComponent(std::int32_t lineNumber, const std::string& line);
    void checkProjectReference(std::int32_t lineNumber, std::string_view written);
    bool checkCompatibleBinary(std::int32_t lineNumber, const std::string& compatibleFile);
    void checkCompatibility(std::int32_t lineNumber, ProjectFacts facts);
    void checkLastBuildLog();

    CDFileData& m_data;
    const std::vector<Target>& m_targets;
    std::vector<CheckFinding>& m_findings;
    const std::string m_windowsFolder;
    std::size_t m_position = 0;
    std::string m_path;
    std::string m_folder;
};

void ProjectChecker::check(std::size_t position) {
    m_position = position;
    m_path = m_targets[position].path;
    m_folder = FileSystemObject::GetParentFolderName(m_path);
    if (!FileSystemObject().FileExists(m_path)) {
        add(CheckSeverity::Error, 0, "project file missing", "the project file does not exist");
        return;
    }
    std::string bytes;
    try {
        bytes = readWindowsFile(m_path);
    } catch (const RuntimeError& e) {
        add(CheckSeverity::Error, 0, "project file unreadable", e.description());
        return;
    }
    const std::map<std::int32_t, ProjectLineChange> changes = referenceChanges();
    // The lines as the compiler reads them, as the update and the build order read them.
    const ProjectFileKeys keys = ProjectFileKeys::parse(bytes);
    for (const ProjectKeyLine& line : keys.lines()) {
        const bool listing = line.key == "Reference" || line.key == "Object";
        if (line.key == "Reference" && line.value.starts_with(TypeLibReference)) {
            const auto change = changes.find(line.lineNumber);
            checkReference(line.lineNumber, line.text, change == changes.end() ? nullptr : &change->second);
        } else if (listing && line.value.starts_with(ProjectReference)) {
            checkProjectReference(line.lineNumber,
                                  std::string_view(line.value).substr(ProjectReference.size()));
        } else if (line.key == "Object") {
            checkComponent(line.lineNumber, line.text);
        }
    }
    const ProjectKeyLine* compatible = keys.find("CompatibleEXE32");
    const std::int32_t compatibleLine = compatible == nullptr ? 0 : compatible->lineNumber;
    const std::string compatibleFile = keys.value("CompatibleEXE32");
    if (m_targets[position].mode == 2 && checkCompatibleBinary(compatibleLine, compatibleFile))
        checkCompatibility(compatibleLine, parseProjectFacts(m_path, bytes));
    checkLastBuildLog();
}

// A failed build leaves its compiler log in the program folder: the compile errors it names are
// still there unless the sources changed since.
void ProjectChecker::checkLastBuildLog() {
    const std::string log = compilerLogPath(App_Path() + "\\", m_targets[m_position].name);
    if (!FileSystemObject().FileExists(log))
        return;
    CompilerLogResult last;
    try {
        last = readCompilerLog(log, referredLogFolders(m_path));
    } catch (const RuntimeError&) {
        return; // a log that cannot be read tells nothing
    }
    for (const CompileErrorLocation& error : last.compileErrors)
        add(CheckSeverity::Warning, 0, "compile error in the last build", compileErrorText(error));
}

// The reference lines the update would change, by line number. A file the update cannot go
// through is a finding of its own (the build would stop with a run-time error there).
std::map<std::int32_t, ProjectLineChange> ProjectChecker::referenceChanges() {
    std::map<std::int32_t, ProjectLineChange> changes;
    try {
        for (ProjectLineChange& change :
             m_data.fPreviewUpdate(m_path, m_targets[m_position].mode, m_windowsFolder))
            if (change.kind == ReferenceChange)
                changes.emplace(change.lineNumber, std::move(change));
    } catch (const RuntimeError& e) {
        add(CheckSeverity::Error, 0, "project file not updatable", e.description());
    }
    return changes;
}

void ProjectChecker::checkReference(std::int32_t lineNumber, const std::string& line,
                                    const ProjectLineChange* change) {
    const std::vector<std::string> fields = referenceFields(line);
    ReferenceLookup lookup;
    try {
        lookup = m_data.fLookUpReference(m_path, line, m_windowsFolder);
    } catch (const RuntimeError&) {
        add(CheckSeverity::Error, lineNumber, "reference unreadable",
            "the line names no library file: " + line);
        return;
    }
    const std::string name = libraryName(fields);
    if (lookup.registration == -1) {
        // A relative library found on no drive is searched for as written; it names the file
        // below the project's folder.
        const std::string file = isAbsoluteDosPath(lookup.libraryPath)
                                     ? lookup.libraryPath
                                     : absoluteDosPath(lookup.libraryPath, m_folder);
        add(CheckSeverity::Error, lineNumber, "reference not registered",
            name + ": no registration of " + (file.empty() ? lookup.libraryPath : file) +
                (!file.empty() && libraryFileExists(file) ? "" : ", and the file does not exist"));
    } else if (!libraryFileExists(lookup.registeredPath)) {
        add(CheckSeverity::Error, lineNumber, "registered library missing",
            name + ": registered as " + lookup.registeredPath + ", which does not exist");
    }
    if (change != nullptr)
        add(CheckSeverity::Warning, lineNumber, "reference will change",
            name + ": " + libraryVersion(fields) + " -> " + libraryVersion(referenceFields(change->after)));
}

void ProjectChecker::checkComponent(std::int32_t lineNumber, const std::string& line) {
    ComponentLookup lookup;
    try {
        lookup = m_data.fLookUpComponent(m_path, line);
    } catch (const RuntimeError&) {
        add(CheckSeverity::Error, lineNumber, "component unreadable",
            "the line names no component file: " + line);
        return;
    }
    if (lookup.fileName.empty())
        return; // no file name: the update leaves the line alone and so does the check
    if (lookup.registration == -1)
        add(CheckSeverity::Error, lineNumber, "component not registered",
            "no registration of " + lookup.fileName);
    else if (!libraryFileExists(lookup.registeredPath))
        add(CheckSeverity::Error, lineNumber, "registered component missing",
            lookup.fileName + ": registered as " + lookup.registeredPath + ", which does not exist");
}

// A project built from another project's source needs that project built before it.
void ProjectChecker::checkProjectReference(std::int32_t lineNumber, std::string_view written) {
    const std::string referenced = absoluteDosPath(trimWhite(written), m_folder);
    if (referenced.empty() || !FileSystemObject().FileExists(referenced)) {
        add(CheckSeverity::Error, lineNumber, "referenced project missing",
            std::string(trimWhite(written)) + " does not exist");
        return;
    }
    const auto at = std::find_if(m_targets.begin(), m_targets.end(), [&](const Target& target) {
        return equalsIgnoreCase(target.path, referenced);
    });
    const auto position = static_cast<std::size_t>(at - m_targets.begin());
    if (at == m_targets.end())
        add(CheckSeverity::Warning, lineNumber, "referenced project not built",
            referenced + " is not built by this run: the project compiles against its last binary");
    else if (position > m_position)
        add(CheckSeverity::Warning, lineNumber, "referenced project built later",
            referenced + " is built after this project: this project compiles against its previous binary");
}

// Whether the compatible binary exists; a missing one is an error.
bool ProjectChecker::checkCompatibleBinary(std::int32_t lineNumber, const std::string& compatibleFile) {
    if (compatibleFile.empty()) {
        add(CheckSeverity::Error, lineNumber, "compatible binary missing",
            "binary compatibility without a CompatibleEXE32 file");
        return false;
    }
    const std::string path = absoluteDosPath(compatibleFile, m_folder);
    if (!path.empty() && FileSystemObject().FileExists(path))
        return true;
    add(CheckSeverity::Error, lineNumber, "compatible binary missing",
        (path.empty() ? compatibleFile : path) + " does not exist");
    return false;
}

// A compatible binary without a type library gives a binary-compatible build nothing to keep to;
// a last output that already breaks it tells that the next binary-compatible build fails. An
// output that is missing or holds no library (never built in a mode that makes one) tells nothing.
void ProjectChecker::checkCompatibility(std::int32_t lineNumber, ProjectFacts facts) {
    if (equalsIgnoreCase(facts.compatiblePath, facts.outputPath))
        facts.outputPath.clear(); // the output is its own compatible file: nothing to compare
    const CompatibilityComparison comparison = compareWithCompatibleFile(facts);
    const auto detail = [&] {
        std::string text;
        for (const std::string& line : compatibilityLines(comparison, CompatOutput::Last))
            text += (text.empty() ? "" : "; ") + line;
        return text;
    };
    if (!comparison.compatibleError.empty())
        add(CheckSeverity::Warning, lineNumber, "compatible binary holds no type library", detail());
    else if (comparison.compared() && !comparison.breaking.empty())
        add(CheckSeverity::Warning, lineNumber, "last output breaks compatibility",
            detail() + "; the next binary-compatible build fails");
}

// The run's order against the projects' dependencies: a project built before a project it
// depends on compiles against that project's previous output, and a cycle cannot be built in
// any order. References to project files are the line checks' own (above).
void checkBuildOrder(const std::vector<Target>& targets, std::vector<CheckFinding>& findings) {
    std::vector<std::string> paths;
    for (const Target& target : targets)
        paths.push_back(target.path);
    const DependencyGraph graph = projectDependencyGraph(paths);
    for (const ProjectDependency& edge : graph.dependencies()) {
        if (edge.kind == ProjectUse::Kind::Project || edge.dependency < edge.dependent)
            continue;
        findings.push_back({CheckSeverity::Warning, paths[edge.dependent], edge.lineNumber,
                            "dependency built later",
                            paths[edge.dependency] + " (" + edge.reason +
                                ") is built after this project, which then compiles against its "
                                "previous output; pelorix-cli order puts it first"});
    }
    for (const std::vector<std::size_t>& cycle : graph.cycles()) {
        std::string names;
        for (const std::size_t position : cycle)
            names += (names.empty() ? "" : ", ") + paths[position];
        findings.push_back({CheckSeverity::Error, paths[cycle.front()], 0, "dependency cycle",
                            "these projects depend on each other, so no order builds each after "
                            "what it needs: " +
                                names});
    }
}

} // namespace

std::int32_t CheckResult::errorCount() const {
    return static_cast<std::int32_t>(
        std::count_if(findings.begin(), findings.end(),
                      [](const CheckFinding& f) { return f.severity == CheckSeverity::Error; }));
}

std::int32_t CheckResult::warningCount() const {
    return static_cast<std::int32_t>(findings.size()) - errorCount();
}

CheckResult checkBuildTargets(CDFileData& fileData, CFWin32API& api,
                              const std::vector<std::int32_t>& buildRows) {
    CheckResult result;
    checkCompiler(api, result.findings);
    std::vector<Target> targets;
    for (const std::int32_t row : buildRows) {
        const std::int32_t index = fileData.fGetProjectArrayIndex(row);
        if (row >= 1 && index >= 0)
            targets.push_back({fileData.fProjectFilePath(index), fileData.fGetCompatibleMode(index),
                               fileData.fGetProjectName(index)});
    }
    ProjectChecker checker(fileData, targets, result.findings);
    for (std::size_t position = 0; position < targets.size(); ++position)
        checker.check(position);
    checkBuildOrder(targets, result.findings);
    result.projectCount = static_cast<std::int32_t>(targets.size());
    return result;
}

std::string formatFinding(const CheckFinding& finding) {
    return std::string(finding.severity == CheckSeverity::Error ? "error" : "warning") + "\t" +
           (finding.projectFile.empty() ? "-" : finding.projectFile) + "\t" +
           (finding.lineNumber > 0 ? std::to_string(finding.lineNumber) : "-") + "\t" + finding.what + "\t" +
           replaceAll(finding.detail, "\t", " ");
}

std::string checkSummary(const CheckResult& result) {
    const auto count = [](std::int32_t n, const char* noun) {
        return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
    };
    return "checked " + count(result.projectCount, "project") + ": " + count(result.errorCount(), "error") +
           ", " + count(result.warningCount(), "warning");
}

} // namespace pelorix
