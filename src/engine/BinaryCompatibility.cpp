#include "engine/BinaryCompatibility.h"

#include "platform/RuntimeError.h"
#include "platform/Text.h"
#include "platform/TypeLibFile.h"
#include "projectdata/ProjectDependencies.h"

#include <map>
#include <optional>

namespace pelorix {

namespace {

// The output's library and types take the ids of the compatible file's library and types of the
// same name, as a binary-compatible build gives them (see compareWithCompatibleFile).
void takeIdsByName(const TypeLibrary& compatible, TypeLibrary& output) {
    output.guid = compatible.guid;
    std::map<std::string, const std::string*> ids;
    for (const TypeInfo& type : compatible.types)
        if (!type.guid.empty())
            ids.emplace(toLower(type.name), &type.guid);
    for (TypeInfo& type : output.types) {
        const auto id = ids.find(toLower(type.name));
        if (!type.guid.empty() && id != ids.end())
            type.guid = *id->second;
    }
}

// The library of a file, or why it cannot be read.
std::optional<TypeLibrary> readLibrary(const std::string& path, std::string& error) {
    try {
        return readTypeLibContent(path);
    } catch (...) {
        error = currentAsRuntimeError().description();
        return std::nullopt;
    }
}

std::string outputName(CompatOutput output) {
    return output == CompatOutput::Rebuilt ? "the rebuilt output" : "the last output";
}

std::string differenceLine(const CompatDifference& difference) {
    return withoutControlCharacters(difference.type +
                                    (difference.member.empty() ? "" : "." + difference.member) + ": " +
                                    difference.what);
}

std::string countText(std::size_t count) {
    return std::to_string(count) + " breaking difference" + (count == 1 ? "" : "s");
}

} // namespace

CompatibilityComparison compareWithCompatibleFile(const ProjectFacts& facts) {
    CompatibilityComparison comparison;
    comparison.compatiblePath = facts.compatiblePath;
    comparison.outputPath = facts.outputPath;
    if (facts.compatiblePath.empty()) {
        comparison.compatibleError = "the project names no compatible file (CompatibleEXE32)";
        return comparison;
    }
    const auto compatible = readLibrary(facts.compatiblePath, comparison.compatibleError);
    if (!compatible)
        return comparison;
    if (facts.outputPath.empty()) {
        comparison.outputError = "the project names no output file (ExeName32)";
        return comparison;
    }
    auto built = readLibrary(facts.outputPath, comparison.outputError);
    if (!built)
        return comparison;
    try {
        takeIdsByName(*compatible, *built);
        for (CompatDifference& difference : compare(*compatible, *built))
            if (difference.severity == CompatSeverity::Breaking)
                comparison.breaking.push_back(std::move(difference));
    } catch (...) {
        comparison.outputError = currentAsRuntimeError().description();
        comparison.breaking.clear();
    }
    return comparison;
}

std::vector<std::string> compatibilityLines(const CompatibilityComparison& comparison, CompatOutput output,
                                            std::size_t limit) {
    // A file the project does not name says so; a file it names is named with why it cannot be read.
    if (!comparison.compatibleError.empty())
        return {
            withoutControlCharacters(comparison.compatiblePath.empty()
                                         ? comparison.compatibleError
                                         : "CompatibleEXE32 cannot be read: " + comparison.compatibleError)};
    if (!comparison.outputError.empty())
        return {withoutControlCharacters(comparison.outputPath.empty()
                                             ? comparison.outputError
                                             : outputName(output) +
                                                   " cannot be read: " + comparison.outputError)};
    const std::size_t count = comparison.breaking.size();
    std::string head = "CompatibleEXE32 " + comparison.compatiblePath + " against " + outputName(output) +
                       " " + comparison.outputPath + ": ";
    if (count == 0)
        head +=
            "no breaking difference" +
            std::string(output == CompatOutput::Last ? "; what breaks came after that output was built" : "");
    else
        head += countText(count);
    std::vector<std::string> lines{withoutControlCharacters(head)};
    for (std::size_t i = 0; i < count && i < limit; ++i)
        lines.push_back(differenceLine(comparison.breaking[i]));
    if (count > limit)
        lines.push_back("and " + std::to_string(count - limit) + " more " +
                        (count - limit == 1 ? "breaking difference" : "breaking differences"));
    return lines;
}

std::vector<std::string> explainCompatibility(std::string_view projectFilePath, CompatOutput output) {
    try {
        return compatibilityLines(compareWithCompatibleFile(readProjectFacts(projectFilePath)), output);
    } catch (...) {
        return {withoutControlCharacters("what broke binary compatibility cannot be told: " +
                                         currentAsRuntimeError().description())};
    }
}

} // namespace pelorix
