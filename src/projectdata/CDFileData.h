#pragma once

#include "platform/CDRegistryData.h"
#include "platform/ErrorConvention.h"
#include "platform/TimeFormat.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelorix {

class IBuildLog;
class RegistrationIndex;

// One project as the list keeps it: the project file path and the few values the rest of the
// program needs from its .vbp file. "" or -1 stand for a value the file did not give.
struct ProjectRecord {
    std::string ProjectFilePath;
    std::string ProjectName;
    std::string Title;
    std::string Description;
    std::string ProjectType;
    std::int16_t CompatibleMode = -1;
    std::int16_t StartMode = -1;
    std::int16_t OptimizationType = -1;

    bool operator==(const ProjectRecord&) const = default;
};

// How an update finds the library of a reference line among the registrations.
struct ReferenceLookup {
    std::string libraryPath;        // the library file it searches the registrations for
    std::int32_t registration = -1; // the newest registration of that file; -1 for none
    std::string registeredPath;     // that registration's library path
};

// How an update finds the registration of a component line, by its file name.
struct ComponentLookup {
    std::string fileName;           // the file name the line gives ("" for none)
    std::int32_t registration = -1; // the newest registration whose library path holds it
    std::string registeredPath;     // that registration's library path
};

// One line an update would change: its new text (the line itself when it is only dropped), and
// a line it would insert after it.
struct ProjectLineChange {
    std::int32_t lineNumber = 0;
    std::int32_t kind = 0; // the update log's kind: 1 reference, 2 mode, 3 version line, 4 component
    std::string before;
    std::string after;
    bool dropped = false;
    std::string inserted;
};

// Where an update gets the registrations from. The default walks HKEY_CLASSES_ROOT\TypeLib (on
// Linux the prefix's) once per update, through the project data's own CDRegistryData, which hands out its
// last walk again while the registry is unchanged; a caller that already holds the registrations
// (a benchmark, a test) can hand them in instead.
using RegistrationSource = std::function<TypeLibRegistrations()>;

// The points of an update at which a test may stop it (a thrown error or a killed process) to
// prove that the project file and its copies stay whole.
enum class UpdateStep {
    BackupCopied,   // the backup is in place under its final name
    RegistryRead,   // the registrations are collected
    LineDone,       // one line of the new file is composed (once per line)
    NewFileWritten, // the new content is complete beside the project file
    Replaced,       // the new content has been renamed onto the project file
};
using UpdateStepHook = std::function<void(UpdateStep step, std::int32_t lineNumber)>;

// The lines of a project list file's bytes (0-based, as splitLines counts them) that name its
// projects, in order: inside the section "[sectionName]", lines whose upper-cased text holds
// keyName; empty lines and comments (first non-blank character ";") are passed over, and the
// next line that begins with "[" ends the section.
std::vector<std::size_t> projectListLines(std::string_view listFileBytes, std::string_view sectionName,
                                          std::string_view keyName);

// The project data: the project records read from .vbp files, the project list with its row
// order, the project file updater with its backup copies, and the resolution of references to
// their newest registered versions.
//
// Record indices are 0-based and stay fixed until the list is reset; rows are 1-based (row 0 is
// the grid's header) and map to record indices through the row index.
class CDFileData : public ErrorHolder {
public:
    CDFileData();

    // ---- Project file reader -------------------------------------------------------------

    // Reads the project file into the record at index. With replace false the records grow to
    // hold the index; with replace true the record must exist. A missing file gives the
    // placeholders ("-" name and title). Always returns false; failures are raised.
    bool fSetProjectNameList(std::string_view projectFilePath, std::int32_t index, bool replace);

    // The record's fields; "" or -1 for an index outside 0..ProjectMaxIndex. Error 9 before the
    // list was first reset.
    std::string fProjectFilePath(std::int32_t index);
    std::string fGetProjectName(std::int32_t index);
    std::string fGetTile(std::int32_t index);
    std::string fGetProjectDescription(std::int32_t index);
    std::string fGetProjectType(std::int32_t index);
    std::int16_t fGetCompatibleMode(std::int32_t index);
    std::int16_t fGetStartMode(std::int32_t index);
    std::int16_t fGetOptimizationType(std::int32_t index);

    // The record as the grid's seven comma-separated fields. Always returns false; error 9 for an
    // index that names no record.
    bool fGetProjectFileInfo(std::int32_t index, std::string& rowText);

    // ---- Project list --------------------------------------------------------------------

    // Back to the empty list: one record (index 0, path ""), no rows.
    void fClearAllProjectInfo();

    // Reads the project paths of one section of a project list file into records 0, 1, ... and
    // lists each. Returns the number read (0 for a list path of "").
    std::int32_t fSetProjectFilePathList(std::string_view listFilePath, std::string_view sectionName,
                                         std::string_view keyName);

    // Reads the project paths named by the lines of a batch file into records 0, 1, ... and lists
    // each. keyWords are the upper-case compiler keywords; keyWordIndexes are not consulted.
    // Relative paths with ".." are made absolute against baseFolder. Returns the number found.
    std::int32_t fMakeProjectFileList(std::string_view batchFilePath,
                                      const std::vector<std::string>& keyWords,
                                      const std::vector<std::string>& keyWordIndexes,
                                      std::string_view baseFolder);

    // Adds a record for the path and lists it: at the end for beforeRow -1, else before that row.
    bool fAddProjectFileList(std::string_view projectFilePath, std::int32_t beforeRow);
    // Gives the record a new path and makes the row show it (appends it when row <= 0 or there
    // are no rows).
    bool fChangeProjectFileList(std::string_view projectFilePath, std::int32_t index, std::int32_t row);
    // Removes the row; the record stays, unlisted, until the next reset.
    bool fDelProjectFileList(std::int32_t row);
    // Puts the rows in a new order: row k + 1 shows what row order[k] + 1 showed. Raises 5
    // unless order is a permutation of the rows' positions.
    void reorderRows(const std::vector<std::size_t>& order);
    // The record index a row shows, or -1 for a row outside 1..ProjectCount.
    std::int32_t fGetProjectArrayIndex(std::int32_t row);

    // Every record's path, by record index.
    std::vector<std::string> ProjectFilePathList();
    // The number of rows.
    std::int32_t ProjectCount() const noexcept;
    // The highest record index (error 9 before the first reset).
    std::int32_t ProjectMaxIndex();
    // The row index: element r - 1 is the record index shown in row r.
    const std::vector<std::int32_t>& ProjectIndexCollection() const noexcept { return m_colProjectIndex; }

    // ---- Project file updater ------------------------------------------------------------

    // Brings a project file up to date before a compile: backs it up (".org", else
    // "YYYYMMDDHHMMSS.bak", or "YYYYMMDDHHMMSS_2.bak", "_3" ... when a backup of the same second
    // is there: no backup is ever replaced), points reference lines (and component lines when
    // UpdateComponentReference is set) at their newest registrations and writes the mode into
    // the CompatibleMode line, reporting each changed line to the log. Mode -1 leaves the
    // CompatibleMode line as it is. Returns false when the file does not exist; a failure leaves
    // the project file as it was and is raised.
    bool fUpdateProjectFileInfo(std::string_view projectFilePath, std::int16_t compatibleMode,
                                std::string_view windowsFolder, IBuildLog& log);

    // What an update would do, asked by the check before a build. Each looks at the project file
    // and the registrations as an update does and changes nothing.

    // How an update looks up the library of a "Reference=*\G" line (relative paths, the search on
    // other drives, the Windows-folder fix-up). A line without "{" or a library field raises 5 or 9.
    ReferenceLookup fLookUpReference(std::string_view projectFilePath, std::string_view line,
                                     std::string_view windowsFolder);
    // How an update looks up the component of an "Object=" line (no file name: no registration).
    ComponentLookup fLookUpComponent(std::string_view projectFilePath, std::string_view line);
    // The lines an update in this mode would change, drop or insert after, by the update's own
    // rules; nothing is written, and a missing library file is not logged.
    std::vector<ProjectLineChange> fPreviewUpdate(std::string_view projectFilePath,
                                                  std::int16_t compatibleMode,
                                                  std::string_view windowsFolder);

    // Deletes the last update's backup copy if it is there, read-only or not; ignores failures.
    bool fDeleteBackupFile();

    // Sets a record's compatibility mode in memory (nothing for an index outside the records).
    void fSetCompatibleMode(std::int32_t index, std::int16_t mode);

    // Makes destination an exact byte copy of source, in chunks of CopyBufferSize; the
    // destination is replaced in one step. The flag has no effect.
    bool fCopyFile(std::string_view sourcePath, std::string_view destinationPath, bool flag = false);

    // The log lines for one changed line of kind 1 (reference), 2 (compatibility mode),
    // 3 (version-compatibility line inserted) or 4 (component).
    std::vector<std::string> fGetDispUpdateInfo(std::int32_t kind, std::int32_t lineNumber,
                                                std::string_view newText);

    void CopyBufferSize(std::int32_t bytes) noexcept { m_lngCopyBufferSize = bytes; }
    std::int32_t CopyBufferSize() const noexcept { return m_lngCopyBufferSize; }
    void UpdateComponentReference(bool update) noexcept { m_blnUpdateComponentReference = update; }
    bool UpdateComponentReference() const noexcept { return m_blnUpdateComponentReference; }
    // The copy made by the last update of an existing project file.
    const std::string& BackupFilePath() const noexcept { return m_strBackupFilePath; }

    // Replaces the registry walk of each update (nullptr restores it).
    void setRegistrationSource(RegistrationSource source) { m_registrationSource = std::move(source); }
    // Called at each step of an update; for tests that stop an update part-way.
    void setUpdateStepHook(UpdateStepHook hook) { m_updateStepHook = std::move(hook); }

protected:
    // The internal steps of reading, importing and updating; tests reach them through a derived
    // class to check each rule on its own.

    // The value of a "key=value" line: everything after the key and "=" ("" when the key is not
    // in the line). For a CompatibleMode line the quotes stay part of the value.
    std::string pGetKeyValue(std::string_view line, std::string_view key);

    // The project path one batch line names, or "".
    std::string pGetProjectFilePath(std::string_view line, const std::vector<std::string>& keyWords,
                                    const std::vector<std::string>& keyWordIndexes);
    // The position in keyWords of the keyword the token names, or -1; records the token's
    // position in foundPositions.
    std::int32_t pSearchKeyWord(std::string_view token, std::int32_t tokenPosition,
                                const std::vector<std::string>& keyWords,
                                std::vector<std::int32_t>& foundPositions);

    // Reference resolution, against the registrations of one walk.
    // The reference line pointed at the newest registration of its library file, or "".
    std::string pGetNewReferenceByLastWriteTime(std::string_view projectFilePath, std::string_view line,
                                                const RegistrationIndex& registrations,
                                                std::string_view windowsFolder);
    // The reference line with the identifier and version read from the library file itself, or
    // "" when the file is missing (logged unless logMissingFile is false).
    std::string pGetNewReferenceByTypeLibInfo(std::string_view projectFilePath, std::string_view line,
                                              bool logMissingFile = true);
    // The component line pointed at the newest registration of its file name, or "".
    std::string pGetNewComponentByLastWriteTime(std::string_view projectFilePath, std::string_view line,
                                                const RegistrationIndex& registrations,
                                                std::string_view windowsFolder);
    // The index of the newest registration of exactly that library file ("~" paths excluded),
    // or -1; ties go to the later index.
    std::int32_t pSearchLastWriteData(std::string_view libraryPath, const RegistrationIndex& registrations);
    // The index of the newest registration whose library path contains the file name, or -1.
    std::int32_t pSearchComponentLastWriteData(std::string_view fileName,
                                               const RegistrationIndex& registrations);
    // True when the drive-less path exists on one of the drives; foundPath is then the full path.
    bool pAppendDrivePath(std::string_view pathWithoutDrive, std::string& foundPath);

private:
    ProjectRecord& recordAt(std::int32_t index);
    const ProjectRecord* findRecord(std::int32_t index);
    std::vector<ProjectRecord>& records();
    // The registrations an update resolves against: the walk's (or the source's), indexed. The
    // index is kept with the walk and built again only when the walk gives a new result.
    const RegistrationIndex& collectRegistrations();
    ReferenceLookup lookUpReference(std::string_view projectFilePath, std::string_view line,
                                    const RegistrationIndex& registrations, std::string_view windowsFolder);
    ComponentLookup lookUpComponent(std::string_view projectFilePath, std::string_view line,
                                    const RegistrationIndex& registrations);
    void reachStep(UpdateStep step, std::int32_t lineNumber);
    // The steps of an update.
    struct UpdateRun;
    struct LineUpdate;
    void restoreProjectFile(const std::string& path, bool inPlace);
    void backUpProjectFile(const std::string& path);
    std::string updatedProjectText(UpdateRun& run, std::string_view bytes, IBuildLog& log,
                                   std::int32_t& lineNumber);
    LineUpdate updateLine(UpdateRun& run, const std::string& line, std::int32_t lineNumber);

    std::optional<std::vector<ProjectRecord>> m_records; // nothing until the first reset
    std::vector<std::int32_t> m_colProjectIndex;
    std::int32_t m_lngCopyBufferSize = 0;
    bool m_blnUpdateComponentReference = false;
    std::string m_strBackupFilePath;
    RegistrationSource m_registrationSource;
    CDRegistryData m_objRegistryData;
    std::shared_ptr<const RegistrationIndex> m_objRegistrationIndex;
    UpdateStepHook m_updateStepHook;
};

} // namespace pelorix
