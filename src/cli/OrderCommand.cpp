#include "cli/Commands.h"
#include "engine/BuildTargets.h"
#include "lists/ProjectGroupFile.h"
#include "lists/ProjectListFile.h"
#include "platform/RuntimeError.h"
#include "platform/Text.h"
#include "projectdata/ProjectDependencies.h"

#include <ostream>

namespace pelorix::cli {
namespace {

constexpr std::string_view orderUsage = "Usage: pelorix-cli order LIST.ini|GROUP.vbg [--write]\n";

constexpr std::string_view orderHelp =
    "Usage: pelorix-cli order LIST.ini|GROUP.vbg [--write]\n"
    "\n"
    "Prints the project files of a list or group, one per line, in an order that builds\n"
    "every project after the projects it depends on, keeping the list's own order\n"
    "wherever that already holds. A project depends on another of the same list when it\n"
    "refers to what the other makes: a Reference= or Object= line whose library GUID is\n"
    "the one the other's compatible file (CompatibleEXE32) or last output carries, whose\n"
    "library path is the other's output file (ExeName32 in Path32; a bare file name\n"
    "matches the output's name), or a *\\A reference to the other's project file.\n"
    "\n"
    "A cycle (projects that depend on each other) has no such order: each is named on\n"
    "standard error with the projects on it, the order printed places its first listed\n"
    "project after the others of the cycle it needs, and the exit status is 1.\n"
    "\n"
    "  --write  rewrite the list file in that order (in one step): each project line moves\n"
    "           with its bytes, comments and other sections stay, and the build marks\n"
    "           ([Build] EnableState) and Index follow their projects. A list already in\n"
    "           order is left as it is; with a cycle nothing is written. Not for groups.\n"
    "\n"
    "A file that is no list (no [ProjectName] section, a list saved as UTF-16) is an\n"
    "error that names it, as for check and build; a list that cannot be rewritten (read-\n"
    "only, immutable) is named with why.\n"
    "\n"
    "Exit status: 0, 1 for a cycle or a list that cannot be read or written, 2 for a\n"
    "usage error.\n";

int runOrder(const Args& args, std::ostream& out, std::ostream& err) {
    bool write = false;
    std::vector<std::string> operands;
    for (const std::string& a : args) {
        if (a == "--write") {
            write = true;
        } else if (a.size() > 1 && a[0] == '-') {
            err << "pelorix-cli order: unknown option '" << a << "'\n" << orderUsage;
            return ExitUsage;
        } else {
            operands.push_back(a);
        }
    }
    if (operands.size() != 1) {
        err << "pelorix-cli order: " << (operands.empty() ? "missing LIST.ini" : "too many arguments") << '\n'
            << orderUsage;
        return ExitUsage;
    }
    const std::string path = windowsPathArgument(operands.front());
    if (write && isProjectGroupPath(path)) {
        err << "pelorix-cli order: --write rewrites a project list file, not a group: " << path << '\n';
        return ExitUsage;
    }
    try {
        const DependencyGraph graph = projectDependencyGraph(listedProjectPaths(path));
        const std::vector<std::size_t> order = graph.buildOrder();
        for (const std::size_t position : order)
            out << withoutControlCharacters(graph.projects()[position].path) << '\n';
        for (const auto& cycle : graph.cycles()) {
            err << "pelorix-cli order: cycle:";
            for (const std::size_t position : cycle)
                err << ' ' << withoutControlCharacters(graph.projects()[position].path);
            err << '\n';
        }
        if (!graph.cycles().empty())
            return ExitFailure;
        if (write) {
            bool inOrder = true;
            for (std::size_t k = 0; k < order.size(); ++k)
                inOrder = inOrder && order[k] == k;
            if (inOrder) {
                err << "pelorix-cli order: " << path << " is in build order already; unchanged\n";
            } else {
                rewriteProjectListOrder(path, order);
                err << "pelorix-cli order: " << path << " rewritten in build order\n";
            }
        }
        return ExitOk;
    } catch (const RuntimeError& e) {
        err << "pelorix-cli order: " << path << ": error " << e.number() << ": " << e.description() << '\n';
        return ExitFailure;
    }
}

} // namespace

Command orderCommand() {
    return {"order", "print (or write) a list in the order its dependencies need", orderHelp, runOrder};
}

} // namespace pelorix::cli
