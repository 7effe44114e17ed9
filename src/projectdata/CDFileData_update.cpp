// The project file updater: before a compile the project file is backed up and rewritten with its
// references pointed at the newest registrations and the compatibility mode of the build.
//
// The file is never rewritten in place. The backup and the new project file are each written
// beside their final names and renamed onto them, so that a failure or a killed process leaves
// the project file either as it was or wholly updated, and any backup a whole copy. A line the
// update does not change keeps its bytes exactly (only its line end becomes CR LF), so text the
// code page cannot represent, or represents in more than one way, survives an update.
#include "platform/CFFile.h"
#include "platform/CodePage.h"
#include "platform/DriveMap.h"
#include "platform/FileKind.h"
#include "platform/FileSystemObject.h"
#include "platform/RuntimeError.h"
#include "platform/StagedFile.h"
#include "platform/Text.h"
#include "platform/Win32Error.h"
#include "projectdata/CDFileData.h"
#include "projectdata/IBuildLog.h"
#include "projectdata/ProjectFileKeys.h"
#include "projectdata/ProjectText.h"

#include <algorithm>

namespace pelorix {
namespace {

constexpr std::int32_t DefaultCopyBufferSize = 1024000;
constexpr std::string_view CrLf = "\r\n";
constexpr std::string_view VersionCompatibleLine = "VersionCompatible32=\"1\"";

// A failure to write the file at a Windows path, naming the file and the cause.
[[noreturn]] void raiseWriteFailure(std::int32_t win32Code, std::string_view windowsPath) {
    const RuntimeError error = vberr::fromWin32(win32Code);
    throw RuntimeError(error.number(), "ﾌｧｲﾙを書き込めません。" + writeFailureCause(windowsPath, win32Code) +
                                           "[" + std::string(windowsPath) + "]");
}

void raiseOnWriteFailure(std::int32_t win32Code, std::string_view windowsPath) {
    if (win32Code != 0)
        raiseWriteFailure(win32Code, windowsPath);
}

// A replacement of the file at a Windows path, written beside it until it is committed.
StagedFile stageBeside(std::string_view windowsPath) {
    const auto host = DriveMap::current().toHost(windowsPath);
    if (!host || host->empty())
        throw vberr::make(vberr::BadFileNameOrNumber);
    std::int32_t code = 0;
    auto staged = StagedFile::create(*host, code);
    if (!staged)
        raiseWriteFailure(code, windowsPath);
    return std::move(*staged);
}

// A project file that is no regular file (a FIFO, a device) is never read or replaced, nor is one
// marked read-only (as source control marks the files not checked out): the user's mark stands,
// on either system, and the error names the file and why.
void requireUpdatableProjectFile(std::string_view windowsPath) {
    const std::string host = hostPathOf(windowsPath);
    std::string cause;
    if (hostFileKind(host) != HostFileKind::Regular)
        cause = notRegularFileCause(windowsPath);
    else if ((permissionBitsOf(host, 0644) & 0222) == 0)
        cause = "読み取り専用のﾌｧｲﾙです。";
    if (!cause.empty())
        throw RuntimeError(vberr::PathFileAccess,
                           "ﾌﾟﾛｼﾞｪｸﾄﾌｧｲﾙを更新できません。" + cause + "[" + std::string(windowsPath) + "]");
}

// Whether the project file has more names than this one (hard links): a replacement would give
// this name a new file and leave the others on the old one, so such a file is written in place.
bool hasOtherNames(std::string_view windowsPath) {
    return hostLinkCount(hostPathOf(windowsPath)) > 1;
}

enum UpdateKind : std::int32_t {
    None = 0,
    ReferenceKind = 1,
    ModeKind = 2,
    VersionKind = 3,
    ComponentKind = 4
};

std::string_view kindText(std::int32_t kind) {
    switch (kind) {
    case ReferenceKind:
        return "行 更新(参照設定): ";
    case ModeKind:
        return "行 更新(互換ﾓｰﾄﾞ): ";
    case VersionKind:
        return "行 更新(ﾊﾞｰｼﾞｮﾝ互換): ";
    case ComponentKind:
        return "行 更新(ｺﾝﾎﾟｰﾈﾝﾄ)";
    default:
        return {};
    }
}

// One line of the update log: the line number, the kind's text and the line's new text.
std::string updateLogLine(std::int32_t kind, std::int32_t lineNumber, std::string_view text) {
    return std::to_string(lineNumber) + std::string(kindText(kind)) + std::string(text);
}

std::uint8_t* bytePointer(std::vector<std::uint8_t>& bytes) {
    return bytes.data();
}

// A time-stamped backup name no file or folder has yet: the stem (path and 14 digits) and ".bak",
// or, when that is taken (a second update within the same second), the stem, "_2" (then "_3" ...)
// and ".bak". An earlier backup is never replaced.
std::string freeBackupName(const std::string& stem) {
    const FileSystemObject fso;
    std::string name = stem + ".bak";
    for (int n = 2; fso.FileExists(name) || fso.FolderExists(name); ++n)
        name = stem + "_" + std::to_string(n) + ".bak";
    return name;
}

} // namespace

void CDFileData::reachStep(UpdateStep step, std::int32_t lineNumber) {
    if (m_updateStepHook)
        m_updateStepHook(step, lineNumber);
}

// What an update works from, for every line of one project file.
struct CDFileData::UpdateRun {
    const std::string& path;
    const ProjectFileKeys& keys; // which lines are which of the project's keys
    const RegistrationIndex& registry;
    std::string_view windowsFolder;
    std::int16_t mode;
    bool modeChanged = false;        // set by the compatibility-mode line, for the rest of the file
    bool logMissingLibraries = true; // a preview changes nothing, the error log included
};

// How one line of the project file comes out of an update.
struct CDFileData::LineUpdate {
    std::string text{};       // the line's new text: the line itself when nothing changed it
    std::int32_t kind = None; // the change that gave the text
    bool drop = false;        // the line is left out of the new file
    std::string inserted{};   // a line written after it ("" for none)
};

bool CDFileData::fUpdateProjectFileInfo(std::string_view projectFilePath, std::int16_t compatibleMode,
                                        std::string_view windowsFolder, IBuildLog& log) {
    std::int32_t lineNumber = 0;
    return guard("fUpdateProjectFileInfo", [&] {
        if (!FileSystemObject().FileExists(projectFilePath))
            return false;
        const std::string path(projectFilePath);
        requireUpdatableProjectFile(path);
        const bool inPlace = hasOtherNames(path);
        bool replaced = false;
        try {
            backUpProjectFile(path);
            const std::string bytes = readWindowsFile(m_strBackupFilePath);
            const RegistrationIndex& registry = collectRegistrations();
            reachStep(UpdateStep::RegistryRead, 0);

            const ProjectFileKeys keys = ProjectFileKeys::parse(bytes);
            UpdateRun run{path, keys, registry, windowsFolder, compatibleMode};
            const std::string output = updatedProjectText(run, bytes, log, lineNumber);

            if (inPlace) {
                // A hard-linked file keeps its identity; the backup taken above is the way back.
                replaced = true;
                reachStep(UpdateStep::NewFileWritten, lineNumber);
                raiseOnWriteFailure(overwriteHostFileInPlace(hostPathOf(path), output), path);
            } else {
                StagedFile staged = stageBeside(path);
                raiseOnWriteFailure(staged.write(output), path);
                raiseOnWriteFailure(staged.setPermissionBits(permissionBitsOf(hostPathOf(path), 0644)), path);
                reachStep(UpdateStep::NewFileWritten, lineNumber);
                raiseOnWriteFailure(staged.commit(), path);
                replaced = true;
            }
            reachStep(UpdateStep::Replaced, lineNumber);
            return true;
        } catch (...) {
            const RuntimeError error = currentAsRuntimeError();
            // Until the rename the project file was never touched; after it (or once an in-place
            // write began), the copy puts the old bytes back.
            if (replaced) {
                try {
                    restoreProjectFile(path, inPlace);
                } catch (...) { // the original error is the one to report
                }
            }
            std::string description = error.description();
            if (error.number() == vberr::BadFileNameOrNumber)
                description += ":[ProjectFile=" + path + "], 行番号: " + std::to_string(lineNumber);
            throw RuntimeError(error.number(), std::move(description), error.source());
        }
    });
}

// Puts the backup's bytes back into the project file: in place for a hard-linked file, by a
// replacement otherwise.
void CDFileData::restoreProjectFile(const std::string& path, bool inPlace) {
    if (!inPlace) {
        fCopyFile(m_strBackupFilePath, path);
        return;
    }
    raiseOnWriteFailure(overwriteHostFileInPlace(hostPathOf(path), readWindowsFile(m_strBackupFilePath)),
                        path);
}

// Copies the project file to its backup: P.org, or P + time stamp + .bak when P.org is there.
void CDFileData::backUpProjectFile(const std::string& path) {
    std::string backup = path + ".org";
    if (FileSystemObject().FileExists(backup))
        backup = freeBackupName(path + timeStamp14());
    m_strBackupFilePath = backup;
    fCopyFile(path, backup);
    reachStep(UpdateStep::BackupCopied, 0);
}

// The new file's bytes from the old ones, each changed line reported to the log. A line the update
// leaves alone keeps its bytes; only its line end becomes CR LF.
std::string CDFileData::updatedProjectText(UpdateRun& run, std::string_view bytes, IBuildLog& log,
                                           std::int32_t& lineNumber) {
    std::string output;
    output.reserve(bytes.size() + bytes.size() / 8 + 64);
    for (const std::string_view raw : splitLines(bytes)) {
        ++lineNumber;
        const std::string line = ansiToUtf8(raw);
        const LineUpdate update = updateLine(run, line, lineNumber);
        if (!update.drop) {
            if (update.text == line) {
                output.append(raw);
            } else {
                output.append(utf8ToAnsi(update.text));
                log.appendLine(updateLogLine(update.kind, lineNumber, update.text));
            }
            output.append(CrLf);
            if (!update.inserted.empty()) {
                output.append(utf8ToAnsi(update.inserted)).append(CrLf);
                log.appendLine(updateLogLine(update.kind, lineNumber + 1, update.inserted));
            }
        }
        reachStep(UpdateStep::LineDone, lineNumber);
    }
    return output;
}

// The rules for one line, tested in this order; a later rule overrides what an earlier one made of
// the same line. A line is one of the keys the rules name only as the compiler reads it (see
// ProjectFileKeys.h): a key of an add-in's section, or a key's text inside another line, is not.
CDFileData::LineUpdate CDFileData::updateLine(UpdateRun& run, const std::string& line,
                                              std::int32_t lineNumber) {
    LineUpdate update{.text = line};
    const std::string_view key = run.keys.keyOf(lineNumber);
    if (key.empty())
        return update;
    const std::string_view value = std::string_view(line).substr(key.size() + 1);
    if (key == "Reference" && value.starts_with("*\\G")) {
        std::string reference =
            pGetNewReferenceByLastWriteTime(run.path, line, run.registry, run.windowsFolder);
        if (reference.empty())
            reference = pGetNewReferenceByTypeLibInfo(run.path, line, run.logMissingLibraries);
        if (!reference.empty())
            update = {.text = std::move(reference), .kind = ReferenceKind};
    }
    if (m_blnUpdateComponentReference && key == "Object") {
        std::string component =
            pGetNewComponentByLastWriteTime(run.path, line, run.registry, run.windowsFolder);
        if (!component.empty())
            update = {.text = std::move(component), .kind = ComponentKind};
    }
    // Mode -1 (no mode known) leaves the compatibility-mode line as it is.
    const std::string modeValue = "\"" + std::to_string(run.mode) + "\"";
    if (run.mode != -1 && key == "CompatibleMode" && pGetKeyValue(line, "CompatibleMode=") != modeValue) {
        update = {.text = "CompatibleMode=" + modeValue, .kind = ModeKind};
        run.modeChanged = true;
    }
    // Binary compatibility newly set: the compatible-file line the compiler takes stays and the
    // version line follows it.
    if (key == "CompatibleEXE32" && run.keys.isLastOfItsKey(lineNumber) && run.modeChanged && run.mode == 2)
        update = {.text = line, .kind = VersionKind, .inserted = std::string(VersionCompatibleLine)};
    if (key == "VersionCompatible32")
        update.drop = true;
    return update;
}

std::vector<ProjectLineChange> CDFileData::fPreviewUpdate(std::string_view projectFilePath,
                                                          std::int16_t compatibleMode,
                                                          std::string_view windowsFolder) {
    return guard("fPreviewUpdate", [&] {
        const std::string path(projectFilePath);
        const std::string bytes = readWindowsFile(path);
        const ProjectFileKeys keys = ProjectFileKeys::parse(bytes);
        UpdateRun run{path, keys, collectRegistrations(), windowsFolder, compatibleMode};
        run.logMissingLibraries = false;
        std::vector<ProjectLineChange> changes;
        std::int32_t lineNumber = 0;
        for (const std::string_view raw : splitLines(bytes)) {
            ++lineNumber;
            std::string line = ansiToUtf8(raw);
            LineUpdate update = updateLine(run, line, lineNumber);
            if (update.text != line || update.drop || !update.inserted.empty())
                changes.push_back({lineNumber, update.kind, std::move(line), std::move(update.text),
                                   update.drop, std::move(update.inserted)});
        }
        return changes;
    });
}

bool CDFileData::fDeleteBackupFile() {
    try {
        const FileSystemObject fso;
        if (!m_strBackupFilePath.empty() && fso.FileExists(m_strBackupFilePath))
            fso.DeleteFile(m_strBackupFilePath, true);
    } catch (...) { // a backup that cannot be removed stays; nothing is reported
    }
    return false;
}

bool CDFileData::fCopyFile(std::string_view sourcePath, std::string_view destinationPath, bool /*flag*/) {
    return guard("fCopyFile", [&] {
        // The file class would create a missing source; a copy of nothing is an error instead.
        if (!FileSystemObject().FileExists(sourcePath))
            throw vberr::make(vberr::FileNotFound);
        const std::string sourceHost = hostPathOf(sourcePath);
        const std::string destinationHost = hostPathOf(destinationPath);
        StagedFile staged = stageBeside(destinationPath);

        CFFile source;
        source.OpenFile(sourcePath);
        CFFile destination;
        destination.OpenFile(DriveMap::current().toWindows(staged.hostPath()));
        const std::int32_t size = source.FileSize();
        std::int32_t chunk = m_lngCopyBufferSize > 0 ? m_lngCopyBufferSize : DefaultCopyBufferSize;
        for (std::int32_t position = 0; position < size; position += chunk) {
            chunk = std::min(chunk, size - position);
            auto bytes = source.ReadBytes(chunk);
            destination.WriteBytes(std::span<const std::uint8_t>(bytePointer(bytes), bytes.size()));
        }
        destination.CloseFile();
        source.CloseFile();

        // An existing destination keeps its permission bits; a new one takes the source's.
        raiseOnWriteFailure(
            staged.setPermissionBits(permissionBitsOf(destinationHost, permissionBitsOf(sourceHost, 0644))),
            destinationPath);
        raiseOnWriteFailure(staged.commit(),
                            destinationPath); // flushes the copy to disk before it takes the name
        return false;
    });
}

std::vector<std::string> CDFileData::fGetDispUpdateInfo(std::int32_t kind, std::int32_t lineNumber,
                                                        std::string_view newText) {
    return guard("fGetDispUpdateInfo", [&] {
        std::vector<std::string> lines;
        std::size_t start = 0;
        for (std::int32_t j = 0;; ++j) {
            const auto end = newText.find(CrLf, start);
            lines.push_back(updateLogLine(
                kind, lineNumber + j,
                newText.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start)));
            if (end == std::string_view::npos)
                break;
            start = end + CrLf.size();
        }
        // For a version line inserted after the compatible-file line, only the inserted line
        // is shown.
        if (kind == VersionKind)
            lines[0].clear();
        return lines;
    });
}

} // namespace pelorix
