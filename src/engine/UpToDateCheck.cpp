// The up-to-date decisions of a run: what each project's build reads, and whether it changed.
#include "engine/UpToDate.h"
#include "platform/CFWin32API.h"
#include "platform/ContentHash.h"
#include "platform/DriveMap.h"
#include "platform/RuntimeError.h"
#include "platform/Text.h"
#include "projectdata/CDFileData.h"
#include "projectdata/ProjectFileKeys.h"
#include "projectdata/ProjectText.h"

namespace pelorix {

namespace {

constexpr const char* Missing = "missing";
// What is recorded for an input that changed while the compiler read it: no hash is ever this.
constexpr const char* ChangedDuringBuild = "changed while it was built";

std::string pathKey(std::string_view path) {
    return toUpper(path);
}

// Whether an input is made by the build itself: the output file, and a compatible file that is
// the output (the compiler compares the new binary against the old one and replaces it). Such an
// input is recorded as the build left it.
bool madeByTheBuild(const std::pair<std::string, std::string>& input, std::string_view outputPath) {
    return input.first == "output file" ||
           (input.first == "compatible file" && !outputPath.empty() &&
            startsWithIgnoreCase(input.second, std::string(outputPath) + " "));
}

// What a compile read, from what it read before the compiler started and what is there after: an
// input the build makes as it is now, any other as it was, unless it changed meanwhile.
ProjectInputs whatTheCompileRead(const ProjectInputs& before, const ProjectInputs& after,
                                 std::string_view outputPath) {
    ProjectInputs read;
    for (std::size_t i = 0; i < after.size(); ++i) {
        const bool same = i < before.size() && before[i] == after[i];
        if (madeByTheBuild(after[i], outputPath) || same)
            read.push_back(after[i]);
        else
            read.emplace_back(after[i].first, ChangedDuringBuild);
    }
    return read;
}

// A project file's bytes without the lines the compiler itself writes when it builds: with
// "AutoIncrementVer=1" it writes the next "RevisionVer" into the file, which is no change the build
// must answer (it would make every build the cause of the next).
std::string withoutCompilersOwnLines(std::string_view bytes) {
    const ProjectFileKeys keys = ProjectFileKeys::parse(bytes);
    if (keys.value("AutoIncrementVer") != "1")
        return std::string(bytes);
    std::string kept;
    std::int32_t lineNumber = 0;
    for (const std::string_view line : splitLines(bytes))
        if (keys.keyOf(++lineNumber) != "RevisionVer")
            kept.append(line).append("\n");
    return kept;
}

} // namespace

UpToDateCheck::UpToDateCheck(std::string_view listPath, const std::vector<std::string>& listed,
                             std::vector<BuildTarget> targets, CDFileData& fileData,
                             std::string_view windowsFolder)
    : m_fileData(fileData), m_windowsFolder(windowsFolder), m_state(BuildState::load(listPath, &m_loadNote)),
      m_graph(projectDependencyGraph(listed)), m_targets(std::move(targets)) {}

void UpToDateCheck::compiler(std::string_view commandTemplate) {
    const std::string program = programOfCommandLine(commandTemplate);
    const std::string programHash =
        program.empty() ? std::string(Missing) : fileContentHash(program).value_or(Missing);
    m_compiler = ContentHasher().add(commandTemplate).hex() + " " + programHash;
}

std::optional<std::size_t> UpToDateCheck::positionOf(std::string_view projectPath) const {
    const auto& projects = m_graph.projects();
    for (std::size_t i = 0; i < projects.size(); ++i)
        if (equalsIgnoreCase(projects[i].path, projectPath))
            return i;
    return std::nullopt;
}

std::string UpToDateCheck::fileHash(const std::string& windowsPath) {
    if (windowsPath.empty())
        return Missing;
    const std::string key = pathKey(windowsPath);
    auto cached = m_fileHashes.find(key);
    if (cached == m_fileHashes.end()) {
        const std::string host = hostPathOf(windowsPath);
        cached =
            m_fileHashes.emplace(key, host.empty() ? Missing : fileContentHash(host).value_or(Missing)).first;
    }
    return cached->second;
}

// What a project makes, as a project that uses it reads it: its output file and compatible file.
std::string UpToDateCheck::madeBy(const ProjectFacts& facts) {
    return facts.outputPath + " " + fileHash(facts.outputPath) + " | " +
           (facts.compatiblePath.empty() ? "none"
                                         : facts.compatiblePath + " " + fileHash(facts.compatiblePath));
}

const ProjectFacts& UpToDateCheck::referencedProject(const std::string& path) {
    const std::string key = pathKey(path);
    auto known = m_otherProjects.find(key);
    if (known == m_otherProjects.end())
        known = m_otherProjects.emplace(key, readProjectFacts(path)).first;
    return known->second;
}

// The registrations references and components resolve to and the files they name (the file a
// reference names itself, when nothing registers its library), and what referenced projects make.
void UpToDateCheck::addUses(ProjectInputs& inputs, std::string_view projectPath, const ProjectFacts& facts) {
    for (const ProjectUse& use : facts.uses) {
        const std::string what = "line " + std::to_string(use.lineNumber);
        if (use.kind == ProjectUse::Kind::Project) {
            inputs.emplace_back("project of " + what, madeBy(referencedProject(use.path)));
            continue;
        }
        std::string registered;
        try {
            registered =
                use.kind == ProjectUse::Kind::TypeLibrary
                    ? m_fileData.fLookUpReference(projectPath, use.line, m_windowsFolder).registeredPath
                    : m_fileData.fLookUpComponent(projectPath, use.line).registeredPath;
        } catch (const RuntimeError&) {
            registered.clear();
        }
        if (!registered.empty())
            inputs.emplace_back("registration of " + what, registered + " " + fileHash(registered));
        else if (!use.path.empty())
            inputs.emplace_back("registration of " + what, "none " + use.path + " " + fileHash(use.path));
        else
            inputs.emplace_back("registration of " + what, "none");
    }
}

ProjectInputs UpToDateCheck::currentInputs(std::string_view projectPath, std::int16_t mode) {
    ProjectInputs inputs;
    std::string bytes;
    try {
        bytes = readWindowsFile(projectPath);
    } catch (const RuntimeError&) {
        inputs.emplace_back("project file", Missing);
        return inputs;
    }
    const ProjectFacts facts = parseProjectFacts(projectPath, bytes);

    // The project file as the update would leave it: its bytes and the changes the update would
    // make to them.
    ContentHasher project;
    project.add(withoutCompilersOwnLines(bytes));
    try {
        for (const ProjectLineChange& change : m_fileData.fPreviewUpdate(projectPath, mode, m_windowsFolder))
            project.add(std::to_string(change.lineNumber))
                .add(change.after)
                .add(change.dropped ? "-" : "+")
                .add(change.inserted);
    } catch (const RuntimeError& e) {
        project.add("not updatable").add(e.description());
    }
    inputs.emplace_back("project file", project.hex());
    inputs.emplace_back("compiler", m_compiler);

    for (const ProjectSource& source : facts.sources)
        inputs.emplace_back("source " + source.path, fileHash(source.path));
    addUses(inputs, projectPath, facts);
    // What the projects of the list it depends on make, however the project refers to them.
    if (const auto position = positionOf(projectPath))
        for (const std::size_t dependency : m_graph.dependenciesOf(*position))
            inputs.emplace_back("dependency " + m_graph.projects()[dependency].path,
                                madeBy(m_graph.projects()[dependency]));

    inputs.emplace_back("compatibility mode", std::to_string(mode));
    inputs.emplace_back("compatible file", facts.compatiblePath.empty()
                                               ? "none"
                                               : facts.compatiblePath + " " + fileHash(facts.compatiblePath));
    inputs.emplace_back("output file", facts.outputPath + " " + fileHash(facts.outputPath));
    return inputs;
}

std::string UpToDateCheck::ownReason(const BuildTarget& target) {
    const ProjectInputs* recorded = m_state.find(target.path);
    if (recorded == nullptr)
        return "no successful build on record";
    const ProjectInputs current = currentInputs(target.path, target.mode);
    // The recorded inputs begin with the project's path.
    for (std::size_t i = 0; i < current.size(); ++i) {
        if (i + 1 >= recorded->size() || (*recorded)[i + 1].first != current[i].first)
            return "changed: " + current[i].first + " is new";
        const std::string& was = (*recorded)[i + 1].second;
        if (was == ChangedDuringBuild)
            return "changed: " + current[i].first + " changed while the last build read it";
        if (was != current[i].second)
            return "changed: " + current[i].first +
                   (current[i].second.ends_with(Missing) ? " is missing" : "");
    }
    if (recorded->size() != current.size() + 1)
        return "changed: " + (*recorded)[current.size() + 1].first + " is gone";
    return "";
}

// Every target in dependency order: one that depends on a target this run builds is built too,
// also when the list puts it first.
void UpToDateCheck::decide() {
    m_decided = true;
    std::vector<std::string> reasonAt(m_graph.projects().size());
    std::vector<bool> decidedAt(m_graph.projects().size(), false);
    std::map<std::string, const BuildTarget*> targets;
    for (const BuildTarget& target : m_targets)
        targets.emplace(pathKey(target.path), &target);
    for (const std::size_t position : m_graph.buildOrder()) {
        const auto target = targets.find(pathKey(m_graph.projects()[position].path));
        if (target == targets.end())
            continue;
        std::string reason;
        for (const std::size_t dependency : m_graph.dependenciesOf(position))
            if (decidedAt[dependency] && !reasonAt[dependency].empty()) {
                reason = m_graph.projects()[dependency].path + " is built in this run";
                break;
            }
        if (reason.empty())
            reason = ownReason(*target->second);
        reasonAt[position] = reason;
        decidedAt[position] = true;
        m_reasons.emplace(target->first, std::move(reason));
    }
    // A target the graph does not hold (not listed) is decided on its own inputs.
    for (const BuildTarget& target : m_targets)
        if (!m_reasons.contains(pathKey(target.path)))
            m_reasons.emplace(pathKey(target.path), ownReason(target));
}

std::string UpToDateCheck::reasonToBuild(std::string_view projectPath) {
    if (!m_decided)
        decide();
    const auto reason = m_reasons.find(pathKey(projectPath));
    return reason == m_reasons.end() ? "not a target of this run" : reason->second;
}

void UpToDateCheck::compiling(std::string_view projectPath, std::int16_t mode) {
    m_fileHashes.clear(); // an earlier compile may have made any of them anew
    m_compiled[pathKey(projectPath)] = currentInputs(projectPath, mode);
}

void UpToDateCheck::built(std::string_view projectPath, std::int16_t mode, bool success) {
    const auto before = m_compiled.find(pathKey(projectPath));
    if (!success || before == m_compiled.end()) {
        m_state.forget(projectPath);
        return;
    }
    m_fileHashes.clear();
    const ProjectInputs after = currentInputs(projectPath, mode);
    m_state.record(projectPath,
                   whatTheCompileRead(before->second, after, readProjectFacts(projectPath).outputPath));
    m_compiled.erase(before);
}

} // namespace pelorix
