#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace pelorix {

class DependencyGraph;

// The dependency graph of a list's projects as a pipeline of a CI engine: one job per project,
// each after the jobs of the projects it depends on, each on a machine of its own. A job
// registers what the projects it depends on made (their output files, which reach it as the
// artifacts of their jobs), builds its project alone ("pelorix-cli build --project") and hands
// on its output file and its JUnit report. The model is neutral; each engine has a small writer.

enum class RunnerShell { Posix, PowerShell };

// How the jobs run on the engine's machines.
struct PipelineOptions {
    // The list (or group) as the jobs name it: a path relative to the checkout, "/"-separated.
    std::string listPathOnRunner;
    // The command that runs pelorix-cli on a runner, written as it is (it may be several words).
    std::string cli = "pelorix-cli";
    // The runners' tags (GitLab "tags", GitHub "runs-on" besides "self-hosted").
    std::vector<std::string> runnerTags;
    // GitLab: the image of a job ("" for none, as for a shell runner).
    std::string image;
    RunnerShell shell = RunnerShell::Posix;
    // Every project of the list, not only the marked ones.
    bool all = false;
    // The engines' limits: a job's "needs" (GitLab), the jobs of a pipeline, a matrix's entries
    // (GitHub), the length of a job's name (GitLab).
    std::size_t maxNeeds = 50;
    std::size_t maxJobs = 2000;
    std::size_t maxMatrix = 256;
    std::size_t maxJobName = 255;
};

// One project's job.
struct PipelineJob {
    std::string project;  // the project file, a Windows path as the list gives it
    std::string name;     // the project's name, for people
    std::string selector; // what "build --project" is given: the file's name, else its path
    std::string job;      // the job's name: unique, within the engine's limits
    // The output file relative to the checkout ("/"-separated; "" when the project file cannot be
    // read, so that nothing is known of its output).
    std::string artifact;
    std::string junit;                  // the job's JUnit report, relative to the checkout
    std::vector<std::size_t> needs;     // the jobs of its direct dependencies, ascending
    std::vector<std::size_t> dependsOn; // every job it depends on, directly or not, ascending
    std::size_t level = 0;              // 0 for none, else one past its deepest dependency's
};

// An edge: the job at "dependent" needs the job at "dependency".
struct PipelineEdge {
    std::size_t dependent = 0;
    std::size_t dependency = 0;
};

struct Pipeline {
    std::string listPathOnRunner;
    std::vector<PipelineJob> jobs;                // in build order
    std::vector<PipelineEdge> edges;              // the jobs' "needs", job by job
    std::vector<std::vector<std::size_t>> levels; // the jobs of each level, ascending
};

// The pipeline of the target projects of a dependency graph (targets[k]: the graph's project k is
// built). A dependency through a project that is not a target counts as a dependency on the
// targets that project depends on. listPath is the list's Windows path: an output file is placed
// relative to it, as the list lies on the runner. Raises a run-time error naming the cause: a
// cycle (its projects), an output file outside the list's checkout, a job with more direct
// dependencies than an engine takes, more jobs than a pipeline takes.
Pipeline makePipeline(const DependencyGraph& graph, const std::vector<bool>& targets,
                      std::string_view listPath, const PipelineOptions& options);

// The pipeline of a list or group file at a Windows path: its marked projects (every one with
// all; every one of a group).
Pipeline listPipeline(std::string_view listPath, const PipelineOptions& options);

// A job's command lines for the runner's shell: the registration of what its dependencies made
// ("" when it depends on nothing) and the build of its project.
std::string registerLine(const Pipeline& pipeline, const PipelineJob& job, const PipelineOptions& options);
std::string buildLine(const Pipeline& pipeline, const PipelineJob& job, const PipelineOptions& options);

// The writers: a GitLab pipeline file (for a child pipeline), a GitHub Actions workflow, and
// JSON for any other engine.
std::string gitlabPipeline(const Pipeline& pipeline, const PipelineOptions& options);
std::string githubWorkflow(const Pipeline& pipeline, const PipelineOptions& options);
std::string pipelineJson(const Pipeline& pipeline, const PipelineOptions& options);

} // namespace pelorix
