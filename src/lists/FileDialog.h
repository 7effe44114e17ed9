#pragma once

#include <string>
#include <vector>

namespace pelorix {

// One entry of a file dialog's type list: its description and its patterns ("*.vbp").
struct FileFilter {
    std::string description;
    std::string pattern;
};

// What a file dialog is given. Paths are host paths: the list-file class maps them from and to
// the program's Windows paths.
struct FileDialogRequest {
    std::string initialFolder;
    // The preset file name ("" for none).
    std::string fileName;
    std::vector<FileFilter> filters;
    // A dialog for saving: a file name that does not exist yet may be typed.
    bool save = false;
};

// The platform's file dialog as the core reaches it. The window program shows a dialog; tests
// answer from a script. Cancelling raises run-time error 32755 (vberr::CancelSelected).
class IFileDialog {
public:
    virtual ~IFileDialog() = default;
    // The host path of the chosen file.
    virtual std::string ShowDialog(const FileDialogRequest& request) = 0;
};

// The entries of a filter text as the common dialog takes it: description and pattern pairs, each
// ended by "|" ("vbpﾌｧｲﾙ(*.vbp)|*.vbp|"). A description without a pattern is dropped.
std::vector<FileFilter> parseFileFilter(const std::string& filterText);

} // namespace pelorix
