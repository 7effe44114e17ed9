#include "engine/Pipeline.h"
#include "formats/QuotedText.h"
#include "platform/Text.h"

#include <algorithm>

namespace pelorix {

namespace {

std::string quotedWord(std::string_view text, const PipelineOptions& options) {
    return options.shell == RunnerShell::PowerShell ? powerShellQuoted(text) : shellQuoted(text);
}

// PowerShell goes on after a program that failed: the job ends with its exit status.
std::string commandLine(const std::string& line, const PipelineOptions& options) {
    if (options.shell == RunnerShell::PowerShell)
        return line + "; if ($LASTEXITCODE -ne 0) { exit $LASTEXITCODE }";
    return line;
}

// The outputs of the jobs a job depends on, in build order.
std::vector<std::string> registeredFiles(const Pipeline& pipeline, const PipelineJob& job) {
    std::vector<std::string> files;
    for (const std::size_t dependency : job.dependsOn)
        if (!pipeline.jobs[dependency].artifact.empty())
            files.push_back(pipeline.jobs[dependency].artifact);
    return files;
}

std::vector<std::string> buildArguments(const Pipeline& pipeline, const PipelineJob& job) {
    return {"build", pipeline.listPathOnRunner, "--project", job.selector, "--junit", job.junit};
}

std::string linesOf(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += (text.empty() ? "" : "\n") + line;
    return text;
}

// GitHub evaluates "${{" anywhere in a workflow: a text that holds it is written so that the
// expression gives the text back.
std::string githubText(std::string_view text) {
    return yamlQuoted(replaceAll(text, "${{", "${{ '${{' }}"));
}

void appendYamlList(std::string& out, std::string_view indent, const std::vector<std::string>& items) {
    for (const std::string& item : items)
        out += std::string(indent) + "- " + yamlQuoted(item) + "\n";
}

std::string gitlabJob(const Pipeline& pipeline, const PipelineJob& job, const PipelineOptions& options) {
    std::string out = yamlQuoted(job.job) + ":\n";
    out += "  stage: " + yamlQuoted("level-" + std::to_string(job.level)) + "\n";
    if (!options.image.empty())
        out += "  image: " + yamlQuoted(options.image) + "\n";
    if (!options.runnerTags.empty()) {
        out += "  tags:\n";
        appendYamlList(out, "    ", options.runnerTags);
    }
    out += job.needs.empty() ? "  needs: []\n" : "  needs:\n";
    for (const std::size_t need : job.needs)
        out += "    - job: " + yamlQuoted(pipeline.jobs[need].job) + "\n      artifacts: true\n";
    out += "  script:\n";
    if (const std::string line = registerLine(pipeline, job, options); !line.empty())
        out += "    - " + yamlQuoted(line) + "\n";
    out += "    - " + yamlQuoted(buildLine(pipeline, job, options)) + "\n";
    // A dependent receives through its direct needs alone what every job before it made.
    std::vector<std::string> paths;
    if (!job.artifact.empty())
        paths.push_back(job.artifact);
    for (const std::string& file : registeredFiles(pipeline, job))
        paths.push_back(file);
    paths.push_back(job.junit);
    out += "  artifacts:\n    when: always\n    paths:\n";
    appendYamlList(out, "      ", paths);
    out += "    reports:\n      junit: " + yamlQuoted(job.junit) + "\n";
    return out;
}

std::string githubMatrixEntry(const Pipeline& pipeline, const PipelineJob& job) {
    std::vector<std::string> handedOn;
    if (!job.artifact.empty())
        handedOn.push_back(job.artifact);
    handedOn.push_back(job.junit);
    std::string out = "          - job: " + githubText(job.job) + "\n";
    out += "            name: " + githubText(job.name) + "\n";
    out += "            project: " + githubText(job.selector) + "\n";
    out += "            junit: " + githubText(job.junit) + "\n";
    out += "            handed_on: " + githubText(linesOf(handedOn)) + "\n";
    out += "            register: " + githubText(linesOf(registeredFiles(pipeline, job))) + "\n";
    return out;
}

std::string githubSteps(const Pipeline& pipeline, const PipelineOptions& options, bool first) {
    std::string out = "    steps:\n      - uses: actions/checkout@v4\n";
    if (!first)
        out += "      - name: The outputs of the levels before\n"
               "        uses: actions/download-artifact@v4\n"
               "        with:\n          pattern: pelorix-*\n          merge-multiple: true\n";
    out += "      - name: Register what the project depends on\n"
           "        if: matrix.register != ''\n"
           "        env:\n          PELORIX_REGISTER: ${{ matrix.register }}\n"
           "        run: " +
           githubText("mapfile -t files <<<\"$PELORIX_REGISTER\"\n" + options.cli +
                      " register \"${files[@]}\"") +
           "\n";
    out += "      - name: Build\n"
           "        env:\n          PELORIX_PROJECT: ${{ matrix.project }}\n"
           "          PELORIX_JUNIT: ${{ matrix.junit }}\n"
           "        run: " +
           githubText(options.cli + " build " + shellQuoted(pipeline.listPathOnRunner) +
                      " --project \"$PELORIX_PROJECT\" --junit \"$PELORIX_JUNIT\"") +
           "\n";
    // One artifact of the output and the report keeps their folders (an artifact's files are
    // stored relative to the folder they share).
    out += "      - name: Hand on the output and the JUnit report\n"
           "        if: always()\n"
           "        uses: actions/upload-artifact@v4\n"
           "        with:\n          name: pelorix-${{ matrix.job }}\n"
           "          path: ${{ matrix.handed_on }}\n          if-no-files-found: warn\n";
    return out;
}

std::string githubLevelPart(const Pipeline& pipeline, const PipelineOptions& options, std::size_t level,
                            const std::vector<std::size_t>& jobs, const std::string& id,
                            const std::vector<std::string>& needs) {
    std::string out = "  " + id + ":\n    name: " + githubText(id) + "\n";
    if (!needs.empty()) {
        out += "    needs:\n";
        appendYamlList(out, "      ", needs);
    }
    std::vector<std::string> runsOn{"self-hosted"};
    runsOn.insert(runsOn.end(), options.runnerTags.begin(), options.runnerTags.end());
    out += "    runs-on:\n";
    for (const std::string& label : runsOn)
        out += "      - " + githubText(label) + "\n";
    out += "    strategy:\n      fail-fast: false\n      matrix:\n        include:\n";
    for (const std::size_t k : jobs)
        out += githubMatrixEntry(pipeline, pipeline.jobs[k]);
    return out + githubSteps(pipeline, options, level == 0);
}

std::string jsonNumbers(const std::vector<std::size_t>& numbers) {
    std::string out = "[";
    for (std::size_t k = 0; k < numbers.size(); ++k)
        out += (k == 0 ? "" : ", ") + std::to_string(numbers[k]);
    return out + "]";
}

std::string jsonStrings(const std::vector<std::string>& texts) {
    std::string out = "[";
    for (std::size_t k = 0; k < texts.size(); ++k)
        out += (k == 0 ? "" : ", ") + jsonQuoted(texts[k]);
    return out + "]";
}

std::string jsonNode(const Pipeline& pipeline, std::size_t k, const PipelineOptions& options) {
    const PipelineJob& job = pipeline.jobs[k];
    std::vector<std::string> registerArguments{"register"};
    for (const std::string& file : registeredFiles(pipeline, job))
        registerArguments.push_back(file);
    std::vector<std::string> commands;
    if (const std::string line = registerLine(pipeline, job, options); !line.empty())
        commands.push_back(line);
    commands.push_back(buildLine(pipeline, job, options));
    std::string out = "    {\"id\": " + std::to_string(k) + ", \"job\": " + jsonQuoted(job.job);
    out += ", \"name\": " + jsonQuoted(job.name) + ", \"project\": " + jsonQuoted(job.project);
    out += ", \"output\": " + jsonQuoted(job.artifact) + ", \"junit\": " + jsonQuoted(job.junit);
    out += ", \"level\": " + std::to_string(job.level) + ", \"needs\": " + jsonNumbers(job.needs);
    out += ", \"dependsOn\": " + jsonNumbers(job.dependsOn);
    out += ", \"register\": " +
           jsonStrings(registerArguments.size() > 1 ? registerArguments : std::vector<std::string>{});
    out += ", \"build\": " + jsonStrings(buildArguments(pipeline, job));
    return out + ", \"commands\": " + jsonStrings(commands) + "}";
}

} // namespace

std::string registerLine(const Pipeline& pipeline, const PipelineJob& job, const PipelineOptions& options) {
    const std::vector<std::string> files = registeredFiles(pipeline, job);
    if (files.empty())
        return {};
    std::string line = options.cli + " register";
    for (const std::string& file : files)
        line += " " + quotedWord(file, options);
    return commandLine(line, options);
}

std::string buildLine(const Pipeline& pipeline, const PipelineJob& job, const PipelineOptions& options) {
    std::string line = options.cli;
    for (const std::string& argument : buildArguments(pipeline, job))
        line += " " + (argument == "build" || argument.starts_with("--") ? argument
                                                                         : quotedWord(argument, options));
    return commandLine(line, options);
}

std::string gitlabPipeline(const Pipeline& pipeline, const PipelineOptions& options) {
    std::string out = "# The build of " + withoutControlCharacters(pipeline.listPathOnRunner) +
                      ", one job per project, each after the jobs of the projects it depends on\n"
                      "# (written by pelorix-cli pipeline --format gitlab).\n";
    out += "stages:\n";
    for (std::size_t level = 0; level < std::max<std::size_t>(pipeline.levels.size(), 1); ++level)
        out += "  - " + yamlQuoted("level-" + std::to_string(level)) + "\n";
    if (pipeline.jobs.empty()) // a pipeline needs a job: one that says there is nothing to build
        out += "\"nothing-to-build\":\n  stage: \"level-0\"\n  script:\n"
               "    - \"echo 'no project of the list is marked for building'\"\n";
    for (const PipelineJob& job : pipeline.jobs)
        out += "\n" + gitlabJob(pipeline, job, options);
    return out;
}

std::string githubWorkflow(const Pipeline& pipeline, const PipelineOptions& options) {
    std::string out = "# The build of " + withoutControlCharacters(pipeline.listPathOnRunner) +
                      ", one job per level of projects, each after the level before\n"
                      "# (written by pelorix-cli pipeline --format github).\n";
    out += "name: " + githubText("Build " + pipeline.listPathOnRunner) + "\n";
    out += "on:\n  workflow_dispatch:\n";
    out += "defaults:\n  run:\n    shell: bash\n";
    out += "jobs:\n";
    if (pipeline.jobs.empty())
        out += "  nothing-to-build:\n    runs-on: ubuntu-latest\n    steps:\n"
               "      - run: echo 'no project of the list is marked for building'\n";
    std::vector<std::string> before;
    for (std::size_t level = 0; level < pipeline.levels.size(); ++level) {
        const std::vector<std::size_t>& jobs = pipeline.levels[level];
        std::vector<std::string> parts;
        for (std::size_t first = 0; first < jobs.size(); first += options.maxMatrix) {
            const std::size_t last = std::min(jobs.size(), first + options.maxMatrix);
            const std::string id =
                "level-" + std::to_string(level) +
                (first == 0 ? "" : "-part-" + std::to_string(first / options.maxMatrix + 1));
            const std::vector<std::size_t> part(jobs.begin() + static_cast<std::ptrdiff_t>(first),
                                                jobs.begin() + static_cast<std::ptrdiff_t>(last));
            out += githubLevelPart(pipeline, options, level, part, id, before);
            parts.push_back(id);
        }
        before = parts;
    }
    return out;
}

std::string pipelineJson(const Pipeline& pipeline, const PipelineOptions& options) {
    std::string out = "{\n  \"list\": " + jsonQuoted(pipeline.listPathOnRunner) + ",\n";
    out += "  \"cli\": " + jsonQuoted(options.cli) + ",\n  \"nodes\": [\n";
    for (std::size_t k = 0; k < pipeline.jobs.size(); ++k)
        out += jsonNode(pipeline, k, options) + (k + 1 < pipeline.jobs.size() ? ",\n" : "\n");
    out += "  ],\n  \"edges\": [";
    for (std::size_t k = 0; k < pipeline.edges.size(); ++k)
        out += std::string(k == 0 ? "" : ", ") + "{\"from\": " + std::to_string(pipeline.edges[k].dependent) +
               ", \"to\": " + std::to_string(pipeline.edges[k].dependency) + "}";
    out += "],\n  \"levels\": [";
    for (std::size_t k = 0; k < pipeline.levels.size(); ++k)
        out += (k == 0 ? "" : ", ") + jsonNumbers(pipeline.levels[k]);
    return out + "]\n}\n";
}

} // namespace pelorix
