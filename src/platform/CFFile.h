#pragma once

#include "platform/ErrorConvention.h"
#include "platform/NativeFile.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pelorix {

// Byte-level access to one file, used to copy project files to their backups and back in chunks.
// It does no buffering of its own: every read or write is one call of the platform.
//
// The file is opened for reading and writing, created when missing, and held without sharing:
// while it is open, a second open of the same file by this or another Pelorix process fails with
// the sharing-violation code 32. Every failure is recorded in the last-error members, logged
// (class "CFFile", level 2, no message box) and raised with the Win32 code as number, the system
// text as description and "CFFile" as source.
class CFFile : public ErrorHolder {
public:
    // The system's own file: a descriptor on Linux, a HANDLE on Windows.
    using Handle = NativeFile;
    static constexpr Handle InvalidHandle = InvalidNativeFile;

    CFFile() : ErrorHolder("CFFile") {}
    CFFile(const CFFile&) = delete;
    CFFile& operator=(const CFFile&) = delete;
    CFFile(CFFile&& other) noexcept;
    CFFile& operator=(CFFile&& other) noexcept;

    Handle FileHandle();
    std::string FileName();
    bool IsOpen() const noexcept { return m_file.valid(); }
    bool AutoFlush();
    void AutoFlush(bool value);

    // Opens (or creates) the file at a Windows path.
    void OpenFile(std::string_view path);
    void CloseFile();
    // Exactly count bytes from the current position; bytes past the end of the file are zero.
    std::vector<std::uint8_t> ReadBytes(std::int32_t count);
    // Writes every byte at the current position; fails when fewer were written (full disk: 112).
    void WriteBytes(std::span<const std::uint8_t> bytes);
    void Flush();
    void SeekAbsolute(std::int32_t high, std::int32_t low);
    void SeekRelative(std::int32_t offset);
    std::int32_t FileSize();

    std::int32_t BufferSize() const noexcept { return m_lngBufferSize; }
    void BufferSize(std::int32_t value) noexcept { m_lngBufferSize = value; }

private:
    [[noreturn]] void fail(std::string_view operation, std::int32_t codeWhenNone);
    void requireOpen(std::string_view operation);
    // The host path OpenFile opens; fails when a file is open already or the path names none.
    std::string hostPathToOpen(std::string_view operation, std::string_view path);
    // Fails with the code as the thread's last error.
    [[noreturn]] void failWith(std::string_view operation, std::int32_t code);

    // The system's part of OpenFile: opens (or creates) the file at the host path for reading and
    // writing, without sharing, refusing a read-only file; nothing, and the code, on failure.
    static UniqueFile openUnshared(const std::string& hostPath, std::int32_t& error);

    UniqueFile m_file;
    std::string m_strFileName;
    bool m_blnAutoFlush = false;
    std::int32_t m_lngBufferSize = 0;
};

} // namespace pelorix
