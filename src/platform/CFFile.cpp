#include "platform/CFFile.h"

#include "platform/DriveMap.h"
#include "platform/ErrorLog.h"
#include "platform/HostFile.h"
#include "platform/RuntimeError.h"
#include "platform/Win32Error.h"

#include <utility>

namespace pelorix {

CFFile::~CFFile() {
    closeHandle();
}

CFFile::CFFile(CFFile&& other) noexcept
    : ErrorHolder(std::move(other)), m_handle(std::exchange(other.m_handle, InvalidHandle)),
      m_strFileName(std::exchange(other.m_strFileName, {})),
      m_blnAutoFlush(std::exchange(other.m_blnAutoFlush, false)), m_lngBufferSize(other.m_lngBufferSize) {}

CFFile& CFFile::operator=(CFFile&& other) noexcept {
    if (this != &other) {
        closeHandle();
        ErrorHolder::operator=(std::move(other));
        m_handle = std::exchange(other.m_handle, InvalidHandle);
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
    return m_handle;
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
    closeHandle();
    m_strFileName.clear();
    m_blnAutoFlush = false;
}

void CFFile::WriteBytes(std::span<const std::uint8_t> bytes) {
    requireOpen("WriteBytes");
    // A short write (a full disk) must not pass for a complete one: a backup copy taken as
    // complete would later be restored truncated.
    const std::string_view view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (const std::int32_t code = writeAll(m_handle, view); code != 0) {
        SetLastError(code);
        fail("WriteBytes", code);
    }
    if (m_blnAutoFlush)
        Flush();
}

} // namespace pelorix
