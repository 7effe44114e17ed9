#pragma once

#include "formats/TypeLibCompat.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace pelorix {

struct ProjectFacts;

// What a binary-compatible project's interface breaks: the library of its compatible file
// ("CompatibleEXE32", relative to the project's folder, as the build resolves it) against the
// library of its output ("ExeName32" in "Path32"), as a client compiled against the compatible file
// meets the output. The build explains a failed binary-compatible compile with it, and the check
// before a build finds an output that already breaks its compatible file.

// Which output the lines name: the last one an earlier build left, or the one the run's rebuild in
// another mode just made.
enum class CompatOutput { Last, Rebuilt };

struct CompatibilityComparison {
    std::string compatiblePath;  // "" when the project names no compatible file
    std::string outputPath;      // "" when the project names no output
    std::string compatibleError; // why the compatible file could not be read ("" when it was)
    std::string outputError;     // why the output could not be read ("" when it was, or was not tried)
    std::vector<CompatDifference> breaking;
    // Both libraries were read and compared.
    bool compared() const noexcept { return compatibleError.empty() && outputError.empty(); }
};

// Reads the compatible file first; the output only when the compatible file was read. The compiler
// gives a binary-compatible build's library, classes and interfaces the ids of the compatible file's
// library and types of the same name, and an output built in another mode has new ones: ids are not
// what breaks, so the output's types take those ids before the two are compared. Never raises: a
// file that cannot be read is named with its cause.
CompatibilityComparison compareWithCompatibleFile(const ProjectFacts& facts);

// How many breaking differences the lines name; the rest are counted in one last line.
inline constexpr std::size_t ExplainedDifferences = 5;

// The lines that say what broke, the same words for the build log, the result lines of pelorix-cli
// build, the JUnit report and the grid's tool tip: first the two files compared and how many
// breaking differences there are, then one line per breaking difference ("IShape.Area: removed"),
// at most limit of them, then "and K more breaking differences". A file that could not be read is
// one line naming it and why. Control characters of names are spaces.
std::vector<std::string> compatibilityLines(const CompatibilityComparison& comparison, CompatOutput output,
                                            std::size_t limit = ExplainedDifferences);

// compatibilityLines for the project file at a Windows path, read as it is now; never raises.
std::vector<std::string> explainCompatibility(std::string_view projectFilePath, CompatOutput output);

} // namespace pelorix
