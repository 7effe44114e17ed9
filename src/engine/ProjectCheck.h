#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pelorix {

class CDFileData;
class CFWin32API;

// The check before a build: what would break the build of the target projects on this machine,
// found without changing any file. It asks the project data what an update would do (the same
// resolution of references and components the update uses) and looks at the machine the way a
// build does:
//
// - the compiler: the command registered (on Linux in the prefix) for the run's "Extension" and
// "ShellCommand"
//   and the program it names;
// - each project file: that it exists and reads;
// - each type-library reference: whether the library it names is registered, whether the
//   registered file exists, and how the update would change the line;
// - each component line: whether it is registered and its file exists;
// - binary compatibility: the compatible binary ("CompatibleEXE32", relative to the project's
//   folder) exists and holds a type library, and the project's last output does not already
//   break it (see BinaryCompatibility.h);
// - each reference to another project (*\A): that project is built earlier in the same run;
// - the order: every project after the projects it depends on (see ProjectDependencies.h), and
//   no cycle among them.
// - the compiler log a failed build of the project left in the program folder: its compile errors.

enum class CheckSeverity { Error, Warning };

struct CheckFinding {
    CheckSeverity severity = CheckSeverity::Error;
    std::string projectFile;     // "" for the machine's own findings
    std::int32_t lineNumber = 0; // 1-based; 0 when the finding concerns no one line
    std::string what;            // a few fixed words: what is wrong
    std::string detail;          // which library, file or project, and why
};

struct CheckResult {
    std::int32_t projectCount = 0;
    std::vector<CheckFinding> findings;

    std::int32_t errorCount() const;
    std::int32_t warningCount() const;
};

// Checks the projects of the build rows (grid rows in run order, the single row -1 for none) as
// a build with these settings would build them, each in the compatibility mode its record holds.
CheckResult checkBuildTargets(CDFileData& fileData, CFWin32API& api,
                              const std::vector<std::int32_t>& buildRows);

// A finding as one line of tab-separated fields: severity ("error" or "warning"), project file
// ("-" for none), line number ("-" for none), what, detail.
std::string formatFinding(const CheckFinding& finding);

// "checked N projects: E errors, W warnings"
std::string checkSummary(const CheckResult& result);

} // namespace pelorix
