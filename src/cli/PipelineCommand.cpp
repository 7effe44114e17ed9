#include "cli/Commands.h"
#include "engine/BuildTargets.h"
#include "engine/Pipeline.h"
#include "lists/ProjectGroupFile.h"
#include "platform/DriveMap.h"
#include "platform/HostFile.h"
#include "platform/RuntimeError.h"
#include "platform/Text.h"
#include "platform/Win32Error.h"

#include <charconv>
#include <optional>
#include <ostream>

namespace pelorix::cli {
namespace {

constexpr std::string_view pipelineUsage =
    "Usage: pelorix-cli pipeline LIST.ini|GROUP.vbg --format gitlab|github|json [--output FILE] [--all]\n"
    "       [--runner-tag TAG]... [--cli COMMAND] [--list-path PATH] [--image IMAGE] [--shell "
    "sh|powershell]\n"
    "       [--max-jobs N]\n";

constexpr std::string_view pipelineHelp =
    "Usage: pelorix-cli pipeline LIST.ini|GROUP.vbg --format gitlab|github|json [--output FILE] [--all]\n"
    "       [--runner-tag TAG]... [--cli COMMAND] [--list-path PATH] [--image IMAGE] [--shell "
    "sh|powershell]\n"
    "       [--max-jobs N]\n"
    "\n"
    "Writes the dependency graph of the marked projects of a list (every project with --all,\n"
    "every project of a group) as a pipeline of a CI engine, so that many machines build the\n"
    "list, each project on a machine with a registry of its own, each after the projects it\n"
    "depends on (the graph pelorix-cli order uses; a dependency through a project that is not\n"
    "built counts as one on what that project depends on). Each project's job registers the\n"
    "output files of the projects it depends on (pelorix-cli register), which reach it as\n"
    "artifacts, then builds its project alone (pelorix-cli build --project --junit) and hands\n"
    "on its output file and its JUnit report.\n"
    "\n"
    "  --format gitlab   a GitLab pipeline file for a child pipeline: one job per project\n"
    "                    named build-FILE, in stages level-0, level-1 ...; needs: its\n"
    "                    direct dependencies with their artifacts; artifacts: its output,\n"
    "                    the outputs it received, its JUnit report (reports: junit), always\n"
    "  --format github   a GitHub Actions workflow: one job per level of the graph with a\n"
    "                    matrix of that level's projects (a level of more than 256 split into\n"
    "                    parts), each after the level before; outputs and reports handed on\n"
    "                    as artifacts; run on self-hosted runners (bash)\n"
    "  --format json     nodes (id, job, name, project, output, junit, level, needs,\n"
    "                    dependsOn, the register and build arguments, the command lines),\n"
    "                    edges (from the dependent to its dependency) and levels, for any\n"
    "                    other engine (a Jenkins parallel map, Azure dependsOn)\n"
    "  --output FILE     write to FILE (replaced in one step) instead of standard output\n"
    "  --all             every project of the list, not only the marked ones\n"
    "  --runner-tag TAG  a tag the runners must have (repeatable): GitLab tags, GitHub\n"
    "                    runs-on labels besides self-hosted\n"
    "  --cli COMMAND     the command that runs pelorix-cli on the runners (default\n"
    "                    pelorix-cli), written as it is\n"
    "  --list-path PATH  the list's path on the runners, relative to the checkout (default:\n"
    "                    LIST as given when it is relative, else its file name). Output files\n"
    "                    are placed relative to it, as they lie beside the list here; an\n"
    "                    output outside the list's checkout is refused\n"
    "  --image IMAGE     GitLab: the image of every job (a runner with VB6 under Wine)\n"
    "  --shell sh|powershell\n"
    "                    GitLab and json: the runners' shell for the command lines (sh)\n"
    "  --max-jobs N      the most jobs a pipeline may have (default 2000)\n"
    "\n"
    "A job takes the project by its file name (by its path where two projects of the list\n"
    "share a file name). Job names are unique, of letters, digits, ._- and non-ASCII text,\n"
    "at most 255 characters. A cycle (projects that depend on each other) is refused, naming\n"
    "it, as pelorix-cli order does; so is a job that would need more than 50 jobs (GitLab's\n"
    "limit of needs) and a pipeline of more than --max-jobs jobs.\n"
    "\n"
    "Exit status: 0, 1 when the pipeline cannot be made or written, 2 for a usage error.\n";

struct PipelineArguments {
    std::string list;
    std::string format;
    std::string output;
    PipelineOptions options;
};

// The list's path on the runners when --list-path is not given: LIST as given when relative,
// else its file name.
std::string defaultListPathOnRunner(const std::string& given) {
    const bool absolute =
        given.starts_with("/") || given.starts_with("\\") || (given.size() >= 2 && given[1] == ':');
    const std::string path = replaceAll(given, "\\", "/");
    if (!absolute)
        return path.starts_with("./") ? path.substr(2) : path;
    return path.substr(path.find_last_of('/') + 1);
}

std::optional<std::size_t> positiveNumber(const std::string& text) {
    std::size_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value == 0)
        return std::nullopt;
    return value;
}

// Takes one option (with its value from the next argument); false when it is none of ours.
bool takeOption(const std::string& option, const std::string& value, PipelineArguments& parsed) {
    PipelineOptions& options = parsed.options;
    if (option == "--format")
        parsed.format = value;
    else if (option == "--output")
        parsed.output = value;
    else if (option == "--runner-tag")
        options.runnerTags.push_back(value);
    else if (option == "--cli")
        options.cli = value;
    else if (option == "--list-path")
        options.listPathOnRunner = replaceAll(value, "\\", "/");
    else if (option == "--image")
        options.image = value;
    else if (option == "--shell" && (value == "sh" || value == "powershell"))
        options.shell = value == "sh" ? RunnerShell::Posix : RunnerShell::PowerShell;
    else if (option == "--max-jobs" && positiveNumber(value))
        options.maxJobs = *positiveNumber(value);
    else
        return false;
    return true;
}

// The arguments; a usage error's text when they are wrong.
std::string parse(const Args& args, PipelineArguments& parsed) {
    std::vector<std::string> operands;
    for (auto a = args.begin(); a != args.end(); ++a) {
        if (*a == "--all") {
            parsed.options.all = true;
        } else if (a->starts_with("--") && a + 1 != args.end() && takeOption(*a, *(a + 1), parsed)) {
            ++a;
        } else if (a->size() > 1 && (*a)[0] == '-') {
            return "unknown option or value '" + *a + (a + 1 != args.end() ? " " + *(a + 1) : "") + "'";
        } else {
            operands.push_back(*a);
        }
    }
    if (operands.size() != 1)
        return operands.empty() ? "missing LIST.ini" : "too many arguments";
    if (parsed.format != "gitlab" && parsed.format != "github" && parsed.format != "json")
        return parsed.format.empty() ? "missing --format" : "unknown format '" + parsed.format + "'";
    parsed.list = operands.front();
    if (parsed.options.listPathOnRunner.empty())
        parsed.options.listPathOnRunner = defaultListPathOnRunner(parsed.list);
    return {};
}

std::string written(const Pipeline& pipeline, const PipelineArguments& parsed) {
    if (parsed.format == "gitlab")
        return gitlabPipeline(pipeline, parsed.options);
    if (parsed.format == "github")
        return githubWorkflow(pipeline, parsed.options);
    return pipelineJson(pipeline, parsed.options);
}

// The list, the group and the project files are never replaced by a pipeline file.
std::optional<std::string> outputProblem(const PipelineArguments& parsed, const std::string& listPath) {
    std::vector<ReportGuardedFile> files{{"the list", hostPathOf(listPath)}};
    for (const std::string& project : listedProjectPaths(listPath))
        files.push_back({"the project file", hostPathOf(project)});
    return reportPathProblem(parsed.output, files, "the output path");
}

int runPipeline(const Args& args, std::ostream& out, std::ostream& err) {
    PipelineArguments parsed;
    if (const std::string problem = parse(args, parsed); !problem.empty()) {
        err << "pelorix-cli pipeline: " << problem << '\n' << pipelineUsage;
        return ExitUsage;
    }
    const std::string listPath = windowsPathArgument(parsed.list);
    try {
        const std::string text = written(listPipeline(listPath, parsed.options), parsed);
        if (parsed.output.empty()) {
            out << text << std::flush;
            return ExitOk;
        }
        if (const auto problem = outputProblem(parsed, listPath)) {
            err << "pelorix-cli pipeline: " << withoutControlCharacters(*problem)
                << "; nothing was written\n";
            return ExitFailure;
        }
        const std::string host = hostPathOf(windowsPathArgument(parsed.output));
        if (const std::int32_t code =
                host.empty() ? win32::PathNotFound : writeHostFileAtomically(host, text)) {
            err << "pelorix-cli pipeline: cannot write " << parsed.output << ": "
                << win32::systemMessage(code) << " (" << code << ")\n";
            return ExitFailure;
        }
        return ExitOk;
    } catch (const RuntimeError& e) {
        err << "pelorix-cli pipeline: " << withoutControlCharacters(listPath) << ": "
            << withoutControlCharacters(e.description()) << '\n';
        return ExitFailure;
    }
}

} // namespace

Command pipelineCommand() {
    return {"pipeline", "write the dependency graph as a CI engine's pipeline", pipelineHelp, runPipeline};
}

} // namespace pelorix::cli
