#pragma once

#include "lists/ProjectListFile.h"
#include "platform/ErrorConvention.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pelorix {

class CDFileData;
class IFileDialog;
class IMessageBox;

// The main window as the list-file class uses it: its mouse pointer, its caption, its version
// text, its file dialog and its message boxes.
class IProjectListWindow {
public:
    virtual ~IProjectListWindow() = default;
    // 0 the default pointer, 11 the hourglass.
    virtual void MousePointer(std::int32_t pointer) = 0;
    virtual void Caption(const std::string& caption) = 0;
    virtual std::string Version() const = 0;
    virtual IFileDialog& CommonDialog() = 0;
    virtual IMessageBox& MessageBox() = 0;
};

inline constexpr std::int32_t vbDefault = 0;
inline constexpr std::int32_t vbHourglass = 11;

// The hourglass over the window while an operation runs; the default pointer comes back when the
// operation ends, by an error too (before the error is logged).
class HourglassPointer {
public:
    explicit HourglassPointer(IProjectListWindow& window) : m_window(window) {
        m_window.MousePointer(vbHourglass);
    }
    ~HourglassPointer() { m_window.MousePointer(vbDefault); }
    HourglassPointer(const HourglassPointer&) = delete;
    HourglassPointer& operator=(const HourglassPointer&) = delete;

private:
    IProjectListWindow& m_window;
};

// The main window's caption for a list: the version text, four spaces and the list's path, or
// "新規ﾌﾟﾛｼﾞｪｸﾄﾘｽﾄﾌｧｲﾙ" for a new list that has no path yet.
std::string listWindowCaption(std::string_view version, std::string_view path);

// The file dialogs of the list commands and the writer of the project list file. A new object
// serves one command. Paths are Windows paths; the dialog sees host paths, and a chosen host path
// comes back as its Windows path through the drive map.
class CFCreateBuildList : public ErrorHolder {
public:
    CFCreateBuildList(IProjectListWindow& window, CDFileData& fileData);

    // Each lets the user choose a file, starting at the folder of path (the program folder for
    // ""), with path as the preset name. True when a file was chosen: path is then that file. A
    // cancelled dialog gives false and leaves path as it was.
    bool fSelectProjectFile(std::string& path);
    bool fOpenProjectList(std::string& path);
    bool fOpenBatFile(std::string& path);
    // Lets the user choose where to save the list, writes it there (with the marks, when given,
    // in the same replace; what else the file held is kept, see projectListFileBytes), names it
    // in the window's caption and says so in a message box. path becomes the chosen file only
    // when the list was written.
    bool fSaveProjectList(std::string& path, const std::optional<ListMarks>& marks = std::nullopt);

private:
    std::int32_t pWriteProjectInfo(std::string_view path, const std::optional<ListMarks>& marks);
    bool pSelectFile(std::string& path, std::string_view filter, std::string_view initialFolder, bool save);

    IProjectListWindow& m_window;
    CDFileData& m_fileData;
};

} // namespace pelorix
