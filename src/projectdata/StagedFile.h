#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace pelorix {

// A new file written beside its final name and put in place with one rename, so that the final
// name always holds either its old content or the whole new one, also when the process is killed
// part-way. Until commit() the content lives in a hidden temporary file in the same folder, which
// is removed again when the object goes away uncommitted.
class StagedFile {
public:
    // Creates the temporary file beside the file at a Windows path; raises the runtime's file error
    // when the folder cannot take it.
    explicit StagedFile(std::string_view finalWindowsPath);
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    const std::string& hostPath() const noexcept { return m_tempHost; }
    // The temporary file's Windows path (for the file class).
    const std::string& windowsPath() const noexcept { return m_tempWindows; }

    // Writes all bytes to the temporary file and flushes them to disk.
    void write(std::string_view bytes);
    // Gives the temporary file the permission bits it will carry under its final name.
    void setMode(mode_t mode);
    // Renames the temporary file onto the final name and makes the rename durable.
    void commit();

private:
    std::string m_finalHost;
    std::string m_tempHost;
    std::string m_tempWindows;
    bool m_committed = false;
};

// The permission bits of an existing host file, or the fallback.
mode_t permissionBitsOf(const std::string& hostPath, mode_t fallback) noexcept;

} // namespace pelorix
