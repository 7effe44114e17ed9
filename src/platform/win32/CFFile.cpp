#include "platform/CFFile.h"

#include "platform/HostFile.h"
#include "platform/RuntimeError.h"
#include "platform/Win32Error.h"
#include "platform/win32/WindowsApi.h"

#include <climits>
#include <fcntl.h>
#include <io.h>

namespace pelorix {
namespace {

// The system handle behind the C runtime descriptor the class keeps.
HANDLE systemHandle(CFFile::Handle fd) noexcept {
    return fd == CFFile::InvalidHandle ? INVALID_HANDLE_VALUE : reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

std::int32_t setLastErrorFromSystem() noexcept {
    const std::int32_t code = winapi::lastError();
    SetLastError(code);
    return code;
}

} // namespace

void CFFile::closeHandle() noexcept {
    if (m_handle != InvalidHandle) {
        _close(m_handle); // closes the system handle, which ends the exclusive access
        m_handle = InvalidHandle;
    }
}

void CFFile::OpenFile(std::string_view path) {
    constexpr std::string_view op = "OpenFile";
    const std::string host = hostPathToOpen(op, path);
    // No sharing: while this handle is open every other open of the file fails with code 32. A
    // folder is refused by the system itself, and so is a read-only file, but for the superuser
    // under Wine: the attribute is checked once more.
    winapi::UniqueHandle file(::CreateFileW(winapi::widePath(host).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (file && ::GetFileInformationByHandle(file.get(), &info) != 0 &&
        (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
        file.reset();
        SetLastError(win32::AccessDenied);
        fail(op, win32::AccessDenied);
    }
    if (!file) {
        setLastErrorFromSystem();
        fail(op, win32::AccessDenied);
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file.get()), _O_RDWR | _O_BINARY);
    if (fd < 0) {
        SetLastError(win32::NotEnoughMemory);
        fail(op, win32::NotEnoughMemory);
    }
    file.release(); // the descriptor owns it now
    m_handle = fd;
    m_strFileName = std::string(path);
}

std::vector<std::uint8_t> CFFile::ReadBytes(std::int32_t count) {
    requireOpen("ReadBytes");
    if (count < 1)
        throw vberr::make(vberr::SubscriptOutOfRange);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(count), 0);
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD got = 0;
        if (::ReadFile(systemHandle(m_handle), bytes.data() + done, static_cast<DWORD>(bytes.size() - done),
                       &got, nullptr) == 0) {
            setLastErrorFromSystem();
            fail("ReadBytes", win32::InvalidHandle);
        }
        if (got == 0)
            break; // end of file: the rest stays zero
        done += got;
    }
    return bytes;
}

void CFFile::Flush() {
    requireOpen("Flush");
    if (::FlushFileBuffers(systemHandle(m_handle)) == 0) {
        const std::int32_t code = setLastErrorFromSystem();
        fail("Flush", code);
    }
}

void CFFile::SeekAbsolute(std::int32_t high, std::int32_t low) {
    requireOpen("SeekAbsolute");
    LARGE_INTEGER position{};
    position.QuadPart = static_cast<LONGLONG>(
        static_cast<std::uint64_t>(static_cast<std::uint32_t>(high)) << 32 | static_cast<std::uint32_t>(low));
    // The result is not checked, as callers expect; a refused position leaves its code behind.
    if (::SetFilePointerEx(systemHandle(m_handle), position, nullptr, FILE_BEGIN) == 0)
        setLastErrorFromSystem();
}

void CFFile::SeekRelative(std::int32_t offset) {
    requireOpen("SeekRelative");
    LARGE_INTEGER distance{};
    distance.QuadPart = offset;
    if (::SetFilePointerEx(systemHandle(m_handle), distance, nullptr, FILE_CURRENT) == 0) {
        const std::int32_t code = setLastErrorFromSystem();
        fail("SeekRelative", code);
    }
}

std::int32_t CFFile::FileSize() {
    // No test for an open file: on a closed object the platform call itself fails.
    LARGE_INTEGER size{};
    if (::GetFileSizeEx(systemHandle(m_handle), &size) == 0) {
        const std::int32_t code = setLastErrorFromSystem();
        fail("FileSize", code != 0 ? code : win32::InvalidHandle);
    }
    if (size.QuadPart > INT32_MAX) {
        SetLastError(win32::InvalidParameter);
        fail("FileSize", win32::InvalidParameter);
    }
    return static_cast<std::int32_t>(size.QuadPart);
}

} // namespace pelorix
