#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pelorix {

class CDFileData;

// A project group file (".vbg"), the set of projects the development environment saves together:
// the header line "VBGROUP 5.0", then one "Project=" or "StartupProject=" line per project, each
// path relative to the group file's folder or absolute. A group is built like a list in which
// every project is a target, in group order; it keeps no build state of its own.

struct GroupProject {
    std::string path;        // the project's Windows path, absolute
    std::string written;     // the path as the group's line gives it
    std::int32_t lineNumber; // 1-based
    bool startup = false;    // the group's start-up project
};

// Something about a group's lines that its user should hear of: a line left out (no file named,
// a file that is no project file, a project listed twice, a path that cannot be made absolute) or
// a line of an unknown kind.
struct GroupNote {
    std::int32_t lineNumber;
    std::string text;
};

struct ProjectGroup {
    std::vector<GroupProject> projects; // in group order, each project once
    std::vector<GroupNote> notes;       // in line order
};

// Whether a path names a project group: its extension is ".vbg" in any case.
bool isProjectGroupPath(std::string_view path);

// The projects of a group file's bytes (ANSI code page; lines end at CR LF, CR or LF), relative
// paths made absolute against groupFolder, the Windows folder of the group file. A project listed
// twice (the same path without regard to case) is kept at its first place. Raises error 321 when
// the first non-empty line is not the "VBGROUP" header.
ProjectGroup parseProjectGroup(std::string_view bytes, std::string_view groupFolder);

// Reads the group file at a Windows path: 53 when it is missing, the file error when it cannot be
// read, 321 without the header.
ProjectGroup readProjectGroup(std::string_view groupPath);

// Resets the project data and fills it with the group's projects in group order, reading each
// project file into its record (a missing one gets the placeholders). Returns the number of
// projects.
std::int32_t loadProjectGroup(CDFileData& fileData, const ProjectGroup& group);

// The notes of a group and one more for each project whose file does not exist, in line order,
// each as "line N: text".
std::vector<std::string> describeGroupProblems(const ProjectGroup& group);

} // namespace pelorix
