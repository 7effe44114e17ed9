#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelorix {

class CDFileData;
class CFWin32API;

// The project list file as both front ends load it, and the build state it keeps in its section
// "Build": "EnableState", the rows marked as build targets ("2,5," with its trailing comma), and
// "Index", the row the last build reached.

// Raises an error naming the file when it cannot be read or is no project list: a file without a
// "[ProjectName]" section (random bytes, a project file given by mistake) lists nothing to build,
// and a check or build of it must not pass for one of an empty list.
void requireProjectListFile(std::string_view listPath);

// Resets the project data and fills it from the list file's "[ProjectName]" section, reading each
// project file into its record. Returns the number of projects (0 for a list path of "").
std::int32_t loadProjectList(CDFileData& fileData, std::string_view listPath);

// Reads every listed project file into its record, in list order.
void readProjectFiles(CDFileData& fileData);

struct ListBuildState {
    // The numeric entries of "EnableState", in order, each rounded to a row number; rows beyond
    // the list are left for the grid to ignore.
    std::vector<std::int32_t> enableRows;
    // "Index" when it is numeric and fits.
    std::optional<std::int32_t> index;
};

// The build state of a list file. "EnableState" is read whole: cut to a settings buffer, the
// marks of a long list would lose their later rows and could end in a cut number marking a wrong
// row. A list path of "" or a file without the keys gives an empty state.
ListBuildState readListBuildState(std::string_view listPath);

// "EnableState" as the list file keeps it: each row and a comma ("" for no row).
std::string enableStateText(const std::vector<std::int32_t>& enabledRows);

// The build state the window keeps in a list file: its marked rows and the row the last build
// reached.
struct ListMarks {
    std::vector<std::int32_t> enabledRows;
    std::int32_t buildIndex = 0;
};

// The bytes of a list file after a save, from the bytes it held ("" for a new file). The
// "[ProjectName]" section (found as the list reader finds it) holds the paths, in order, in place
// of the project lines it held; its header line, its comment lines, blank lines and lines that
// name no project are kept, each before the project it preceded when that project is still
// listed, else after the last project. Every line outside the section is kept byte for byte (a
// byte-order mark too); a file without the section gets it at its end. With marks, "Build"/
// "EnableState" and "Index" are written as the settings functions write them. Paths are UTF-8,
// written in the ANSI code page.
std::string projectListFileBytes(std::string_view oldBytes, const std::vector<std::string>& paths,
                                 const std::optional<ListMarks>& marks);

// Writes the list file in one atomic replace: the paths with projectListFileBytes, or, without
// paths, only the marks into what the file holds. A file that cannot be written raises
// vberr::PathFileAccess with "ﾌﾟﾛｼﾞｪｸﾄﾘｽﾄに書き込めません。", the reason and the list path in
// square brackets; the file is then as it was.
void writeProjectListFile(std::string_view listPath, const std::optional<std::vector<std::string>>& paths,
                          const std::optional<ListMarks>& marks);

// Writes the list path (between double quotes) as "Build"/"ProjectListPath" into Pelorix.ini and
// "EnableState" and "Index" into the list file (writeProjectListFile); nothing for a list path of
// "" (a new list never saved). A list file that cannot be written raises its error; the list is
// still the one the window opens next time.
//
// rowPaths holds the project file path of each window row (row r at r - 1). The file keeps its
// own project order until the list is saved, while the window may have sorted, added or deleted
// rows; so each marked row and the build row are written as the file's row of the same project
// (see listFileRows). A marked project the file does not name keeps no mark in it.
void writeListBuildState(CFWin32API& api, std::string_view listPath, const std::vector<std::string>& rowPaths,
                         const ListMarks& marks);

// Writes the list path (between double quotes) as "Build"/"ProjectListPath" into Pelorix.ini, the
// list the window opens next time.
void writeLastListPath(CFWin32API& api, std::string_view listPath);

// For each window row (rowPaths as above), the row of the list file's "[ProjectName]" section
// naming the same project, 0 when none does. Paths compare as Windows compares them; the k-th
// window row of a path is the file's k-th line of it. A file that cannot be read gives every row
// its own number, as the window's rows are all there is.
std::vector<std::int32_t> listFileRows(std::string_view listPath, const std::vector<std::string>& rowPaths);

// Rewrites the list file at a Windows path with its projects in a new order: order[k] is the list
// position (0-based) of the project that goes to position k. Each project line moves with its
// bytes; comments, other lines and sections stay where they are. "EnableState" and "Index" of
// section "Build", when present, follow their projects to the new rows, so every mark is kept.
// The file is replaced in one step. Raises the file's error when it cannot be read or written,
// and 5 when the order is not a permutation of the listed projects.
void rewriteProjectListOrder(std::string_view listPath, const std::vector<std::size_t>& order);

// The compiler switches a batch-file import looks for: "Import"/"KeyWord" upper-cased and
// "Import"/"KeyWordIndex" of Pelorix.ini, each split at ",", or their defaults when a value is "".
struct ImportKeyWords {
    std::vector<std::string> keyWords;
    std::vector<std::string> keyWordIndexes;
};
ImportKeyWords readImportKeyWords(CFWin32API& api);

// Resets the project data and fills it with the projects the batch file names, paths with ".."
// made absolute against the batch file's folder. The project files are not read (see
// readProjectFiles). Returns the number of projects.
std::int32_t importBatchFile(CDFileData& fileData, CFWin32API& api, std::string_view batchFilePath);

} // namespace pelorix
