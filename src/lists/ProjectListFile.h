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

// Writes "EnableState" and "Index" into the list file and the list path (between double quotes)
// as "Build"/"ProjectListPath" into Pelorix.ini; nothing for a list path of "" (a new list never
// saved). Failed writes are not reported, as the settings functions report none.
void writeListBuildState(CFWin32API& api, std::string_view listPath,
                         const std::vector<std::int32_t>& enabledRows, std::int32_t buildIndex);

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
