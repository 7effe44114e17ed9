#include "platform/CFFile.h"

#include "platform/DriveMap.h"
#include "platform/ErrorLog.h"
#include "platform/HostFile.h"
#include "platform/RuntimeError.h"
#include "platform/Win32Error.h"

#include <climits>
#include <utility>

namespace pelorix {

CFFile::CFFile(CFFile&& other) noexcept
    : ErrorHolder(std::move(other)), m_file(std::move(other.m_file)),
      m_strFileName(std::exchange(other.m_strFileName, {})),
      m_blnAutoFlush(std::exchange(other.m_blnAutoFlush, false)), m_lngBufferSize(other.m_lngBufferSize) {}

CFFile& CFFile::operator=(CFFile&& other) noexcept {
    if (this != &other) {
        ErrorHolder::operator=(std::move(other));
        m_file = std::move(other.m_file);
        m_strFileName = std::exchange(other.m_strFileName, {});
        m_blnAutoFlush = std::exchange(other.m_blnAutoFlush, false);
        m_lngBufferSize = other.m_lngBufferSize;
    }
    return *this;
}

// The one failure path of the class: the thread's Win32 code and its system text go to the
// last-error members and the log, then leave as an error whose source is the class. A misuse
// (an operation on a closed object, a second open) finds no fresh platform code; when the
// thread's code is 0 it reports codeWhenNone instead, so that a failure never reads as "the
// operation completed successfully".
void CFFile::fail(std::string_view operation, std::int32_t codeWhenNone) {
    std::int32_t code = GetLastError();
    if (code == win32::Success)
        code = codeWhenNone;
    const RuntimeError error(code, win32::systemMessage(code), "CFFile");
    setLastError(code, error.description(), std::string(operation));
    WriteErrorLog(code, error.description(), operation, ModuleName(), ErrorLevel::Error, false);
    throw error;
}

void CFFile::failWith(std::string_view operation, std::int32_t code) {
    SetLastError(code);
    fail(operation, code);
}

void CFFile::requireOpen(std::string_view operation) {
    if (!IsOpen())
        fail(operation, win32::InvalidHandle);
}

std::string CFFile::hostPathToOpen(std::string_view operation, std::string_view path) {
    if (IsOpen())
        fail(operation, win32::AccessDenied);
    // An empty name is no path at all (the drive map would read it as the current folder).
    auto host = path.empty() ? std::nullopt : DriveMap::current().toHost(path);
    if (!host || host->empty()) {
        SetLastError(win32::PathNotFound);
        fail(operation, win32::PathNotFound);
    }
    return std::move(*host);
}

CFFile::Handle CFFile::FileHandle() {
    requireOpen("FileHandle [PropertyGet]");
    return m_file.get();
}

std::string CFFile::FileName() {
    requireOpen("FileName [PropertyGet]");
    return m_strFileName;
}

bool CFFile::AutoFlush() {
    requireOpen("AutoFlush [PropertyGet]");
    return m_blnAutoFlush;
}

void CFFile::AutoFlush(bool value) {
    requireOpen("AutoFlush [PropertyLet]");
    m_blnAutoFlush = value;
}

void CFFile::CloseFile() {
    requireOpen("CloseFile");
    m_file.reset(); // closing the file ends the exclusive access
    m_strFileName.clear();
    m_blnAutoFlush = false;
}

void CFFile::WriteBytes(std::span<const std::uint8_t> bytes) {
    requireOpen("WriteBytes");
    // A short write (a full disk) must not pass for a complete one: a backup copy taken as
    // complete would later be restored truncated.
    const std::string_view view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (const std::int32_t code = writeAll(m_file.get(), view); code != 0)
        failWith("WriteBytes", code);
    if (m_blnAutoFlush)
        Flush();
}

void CFFile::OpenFile(std::string_view path) {
    constexpr std::string_view op = "OpenFile";
    const std::string host = hostPathToOpen(op, path);
    std::int32_t code = 0;
    UniqueFile file = openUnshared(host, code);
    if (!file)
        failWith(op, code != 0 ? code : win32::AccessDenied);
    m_file = std::move(file);
    m_strFileName = std::string(path);
}

std::vector<std::uint8_t> CFFile::ReadBytes(std::int32_t count) {
    requireOpen("ReadBytes");
    // An array of no elements cannot be made; this error is the caller's, not logged here.
    if (count < 1)
        throw vberr::make(vberr::SubscriptOutOfRange);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(count), 0);
    std::size_t done = 0;
    while (done < bytes.size()) {
        std::size_t got = 0;
        if (const std::int32_t code = readSome(m_file.get(), reinterpret_cast<char*>(bytes.data()) + done,
                                               bytes.size() - done, got);
            code != 0)
            failWith("ReadBytes", code);
        if (got == 0)
            break; // end of file: the rest stays zero
        done += got;
    }
    return bytes;
}

void CFFile::Flush() {
    requireOpen("Flush");
    if (const std::int32_t code = flushFile(m_file.get()); code != 0)
        failWith("Flush", code);
}

void CFFile::SeekAbsolute(std::int32_t high, std::int32_t low) {
    requireOpen("SeekAbsolute");
    const std::int64_t position = static_cast<std::int64_t>(
        static_cast<std::uint64_t>(static_cast<std::uint32_t>(high)) << 32 | static_cast<std::uint32_t>(low));
    // The result is not checked, as callers expect; a refused position leaves its code behind.
    if (const std::int32_t code = seekFile(m_file.get(), position, false); code != 0)
        SetLastError(code);
}

void CFFile::SeekRelative(std::int32_t offset) {
    requireOpen("SeekRelative");
    if (const std::int32_t code = seekFile(m_file.get(), offset, true); code != 0)
        failWith("SeekRelative", code);
}

std::int32_t CFFile::FileSize() {
    // No test for an open file: on a closed object the platform call itself fails.
    std::uint64_t size = 0;
    if (const std::int32_t code = sizeOfFile(m_file.get(), size); code != 0)
        failWith("FileSize", code);
    // A size that does not fit a signed 32-bit number always fails; taking only its low part
    // would report a 4 GiB + 100 byte file as 100 bytes.
    if (size > static_cast<std::uint64_t>(INT32_MAX))
        failWith("FileSize", win32::InvalidParameter);
    return static_cast<std::int32_t>(size);
}

} // namespace pelorix
