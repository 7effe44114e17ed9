#include "engine/Pipeline.h"

#include "engine/BuildTargets.h"
#include "engine/CompilerLog.h"
#include "lists/ProjectGroupFile.h"
#include "lists/ProjectListFile.h"
#include "platform/RuntimeError.h"
#include "platform/Text.h"
#include "projectdata/ProjectDependencies.h"

#include <algorithm>
#include <set>

namespace pelorix {

namespace {

std::vector<std::string> pathParts(std::string_view path) {
    std::vector<std::string> parts;
    for (std::string& part : split(replaceAll(path, "\\", "/"), '/'))
        if (!part.empty() && part != ".")
            parts.push_back(std::move(part));
    return parts;
}

std::string fileNameOf(std::string_view path) {
    const std::vector<std::string> parts = pathParts(path);
    return parts.empty() ? std::string() : parts.back();
}

// The file at a Windows path as a path relative to the checkout, where the list lies at
// listOnRunner (relative to the checkout); "" when it lies outside the checkout.
std::string placeOnRunner(std::string_view windowsPath, std::string_view listPath,
                          std::string_view listOnRunner) {
    const std::vector<std::string> file = pathParts(windowsPath);
    std::vector<std::string> listFolder = pathParts(listPath);
    if (!listFolder.empty())
        listFolder.pop_back();
    std::size_t common = 0;
    while (common < file.size() && common < listFolder.size() &&
           equalsIgnoreCase(file[common], listFolder[common]))
        ++common;
    std::vector<std::string> placed = pathParts(listOnRunner);
    if (!placed.empty())
        placed.pop_back();
    for (std::size_t up = common; up < listFolder.size(); ++up) {
        if (placed.empty() || placed.back() == "..")
            return {};
        placed.pop_back();
    }
    if (common == 0 && !file.empty() && !listFolder.empty())
        return {}; // another drive
    placed.insert(placed.end(), file.begin() + static_cast<std::ptrdiff_t>(common), file.end());
    std::string text;
    for (const std::string& part : placed)
        text += (text.empty() ? "" : "/") + part;
    return text;
}

// A job's name from a project's file name: what GitLab, gitlab-ci-local's folders and artifact
// names all take (letters, digits, "._-" and any non-ASCII character; everything else "-"),
// within the length limit, made unique without regard to case by a number.
std::string jobName(std::string_view fileName, std::size_t limit, std::set<std::string>& taken) {
    std::string stem(fileName);
    if (const auto dot = stem.rfind('.'); dot != std::string::npos && dot > 0)
        stem.resize(dot);
    std::string base = "build-";
    for (const char c : stem) {
        const auto u = static_cast<unsigned char>(c);
        const bool kept = u >= 0x80 || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
        base += kept ? c : '-';
    }
    const std::size_t room = limit > 16 ? limit - 8 : limit;
    if (base.size() > room) {
        base.resize(room);
        // No UTF-8 sequence cut in two: a last sequence shorter than its lead byte says goes.
        std::size_t lead = base.size();
        while (lead > 0 && (static_cast<unsigned char>(base[lead - 1]) & 0xC0) == 0x80)
            --lead;
        if (lead > 0 && static_cast<unsigned char>(base[lead - 1]) >= 0xC0) {
            const auto first = static_cast<unsigned char>(base[lead - 1]);
            const std::size_t length = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : 2;
            if (base.size() - (lead - 1) < length)
                base.resize(lead - 1);
        }
    }
    std::string name = base;
    for (int n = 2; taken.contains(toLower(name)); ++n)
        name = base + "-" + std::to_string(n);
    taken.insert(toLower(name));
    return name;
}

std::string unquoted(std::string_view value) {
    value = trimWhite(value);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

// The targets each project depends on, directly or through projects that are no targets.
std::vector<std::set<std::size_t>> targetDependencies(const DependencyGraph& graph,
                                                      const std::vector<bool>& targets) {
    const std::size_t count = graph.projects().size();
    std::vector<std::set<std::size_t>> reach(count);
    for (std::size_t start = 0; start < count; ++start) {
        std::vector<bool> seen(count, false);
        std::vector<std::size_t> stack = graph.dependenciesOf(start);
        while (!stack.empty()) {
            const std::size_t next = stack.back();
            stack.pop_back();
            if (seen[next] || next == start)
                continue;
            seen[next] = true;
            if (targets[next]) {
                reach[start].insert(next);
                continue;
            }
            for (const std::size_t further : graph.dependenciesOf(next))
                stack.push_back(further);
        }
    }
    return reach;
}

[[noreturn]] void refuseCycles(const DependencyGraph& graph) {
    std::string text = "the projects depend on each other, so no job can start first:";
    for (const auto& cycle : graph.cycles()) {
        text += " cycle";
        for (const std::size_t position : cycle)
            text += " " + graph.projects()[position].path;
        text += ";";
    }
    text.pop_back();
    throw RuntimeError(BuildResult::Error, text);
}

// Each job's level, and the jobs of each level.
void placeInLevels(Pipeline& pipeline) {
    for (PipelineJob& job : pipeline.jobs) {
        for (const std::size_t need : job.needs)
            job.level = std::max(job.level, pipeline.jobs[need].level + 1);
        if (pipeline.levels.size() <= job.level)
            pipeline.levels.resize(job.level + 1);
    }
    for (std::size_t k = 0; k < pipeline.jobs.size(); ++k)
        pipeline.levels[pipeline.jobs[k].level].push_back(k);
}

// Every job a job depends on, through its needs.
void collectDependsOn(Pipeline& pipeline) {
    for (PipelineJob& job : pipeline.jobs) {
        std::set<std::size_t> all(job.needs.begin(), job.needs.end());
        for (const std::size_t need : job.needs)
            all.insert(pipeline.jobs[need].dependsOn.begin(), pipeline.jobs[need].dependsOn.end());
        job.dependsOn.assign(all.begin(), all.end());
    }
}

void checkLimits(const Pipeline& pipeline, const PipelineOptions& options) {
    if (pipeline.jobs.size() > options.maxJobs)
        throw RuntimeError(BuildResult::Error, "the pipeline would have " +
                                                   std::to_string(pipeline.jobs.size()) +
                                                   " jobs, more than a pipeline takes (" +
                                                   std::to_string(options.maxJobs) + ", --max-jobs)");
    for (const PipelineJob& job : pipeline.jobs)
        if (job.needs.size() > options.maxNeeds)
            throw RuntimeError(BuildResult::Error,
                               job.project + " depends directly on " + std::to_string(job.needs.size()) +
                                   " projects of the list, more than a job's needs take (" +
                                   std::to_string(options.maxNeeds) + ")");
}

PipelineJob jobOf(const ProjectFacts& facts, std::string_view listPath, const PipelineOptions& options,
                  bool uniqueFileName, std::set<std::string>& taken) {
    PipelineJob job;
    job.project = facts.path;
    const std::string file = fileNameOf(facts.path);
    job.name = facts.readable && !unquoted(facts.name).empty() ? unquoted(facts.name) : file;
    job.selector = uniqueFileName ? file : facts.path;
    job.job = jobName(file, options.maxJobName, taken);
    job.junit = "pelorix-junit-" + job.job + ".xml";
    if (facts.readable && !facts.outputPath.empty()) {
        job.artifact = placeOnRunner(facts.outputPath, listPath, options.listPathOnRunner);
        if (job.artifact.empty())
            throw RuntimeError(BuildResult::Error,
                               "the output file " + facts.outputPath + " of " + facts.path +
                                   " lies outside the folder the list " + std::string(listPath) +
                                   " is checked out in, where a job's artifacts must lie");
    }
    return job;
}

} // namespace

Pipeline makePipeline(const DependencyGraph& graph, const std::vector<bool>& targets,
                      std::string_view listPath, const PipelineOptions& options) {
    if (!graph.cycles().empty())
        refuseCycles(graph);
    Pipeline pipeline;
    pipeline.listPathOnRunner = options.listPathOnRunner;
    const std::vector<std::set<std::size_t>> reach = targetDependencies(graph, targets);
    std::vector<std::size_t> jobOfProject(graph.projects().size(), 0);
    std::multiset<std::string> fileNames;
    for (const ProjectFacts& facts : graph.projects())
        fileNames.insert(toLower(fileNameOf(facts.path)));
    std::set<std::string> taken;
    for (const std::size_t position : graph.buildOrder()) {
        if (!targets[position])
            continue;
        const ProjectFacts& facts = graph.projects()[position];
        const bool unique = fileNames.count(toLower(fileNameOf(facts.path))) == 1;
        PipelineJob job = jobOf(facts, listPath, options, unique, taken);
        for (const std::size_t dependency : reach[position])
            job.needs.push_back(jobOfProject[dependency]);
        std::sort(job.needs.begin(), job.needs.end());
        jobOfProject[position] = pipeline.jobs.size();
        for (const std::size_t need : job.needs)
            pipeline.edges.push_back({pipeline.jobs.size(), need});
        pipeline.jobs.push_back(std::move(job));
    }
    placeInLevels(pipeline);
    collectDependsOn(pipeline);
    checkLimits(pipeline, options);
    return pipeline;
}

Pipeline listPipeline(std::string_view listPath, const PipelineOptions& options) {
    const std::vector<std::string> paths = listedProjectPaths(listPath);
    std::vector<bool> targets(paths.size(), options.all || isProjectGroupPath(listPath));
    if (!options.all && !isProjectGroupPath(listPath))
        for (const std::int32_t row : readListBuildState(listPath).enableRows)
            if (row >= 1 && static_cast<std::size_t>(row) <= targets.size())
                targets[static_cast<std::size_t>(row) - 1] = true;
    return makePipeline(projectDependencyGraph(paths), targets, listPath, options);
}

} // namespace pelorix
