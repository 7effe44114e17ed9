#include "platform/StagedFile.h"

#include "platform/Win32Error.h"
#include "platform/win32/WindowsApi.h"

#include <chrono>
#include <random>

namespace pelorix {
namespace {

// How often a rename that met a held final file is tried again.
constexpr DWORD RenameRetryIntervalMs = 50;

// Whether a rename that failed with code may succeed once another program lets go of the final
// file: the system refused the replacement of an existing file that is neither a folder nor
// read-only (those never change by waiting).
bool mayBeHeld(const std::wstring& finalPath, DWORD code) {
    if (code != ERROR_ACCESS_DENIED && code != ERROR_SHARING_VIOLATION)
        return false;
    const DWORD attributes = ::GetFileAttributesW(finalPath.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) == 0;
}

// Why the final file could not be replaced: "in use by another process" (32) while a program holds
// it without letting others delete it, else the rename's own code.
std::int32_t holderReason(const std::wstring& finalPath, DWORD code) {
    const winapi::UniqueHandle probe(::CreateFileW(finalPath.c_str(), DELETE,
                                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!probe && ::GetLastError() == ERROR_SHARING_VIOLATION)
        return win32::SharingViolation;
    return static_cast<std::int32_t>(code);
}

} // namespace

// Windows keeps no permission bits: the read-only attribute is the one the final file would
// lose, and a replaced file is read-only only when the write was refused.
std::uint32_t permissionBitsOf(const std::string& hostPath, std::uint32_t fallback) noexcept {
    try {
        const DWORD attributes = ::GetFileAttributesW(winapi::widePath(hostPath).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES)
            return fallback;
        return (attributes & FILE_ATTRIBUTE_READONLY) != 0 ? 0444 : 0644;
    } catch (...) {
        return fallback;
    }
}

std::optional<std::string> StagedFile::makeTemporary(const std::string& stem, std::int32_t& error) {
    std::random_device seed;
    std::mt19937 random(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temp = stem + std::to_string(random() % 1000000);
        const winapi::UniqueHandle file(::CreateFileW(winapi::widePath(temp).c_str(), GENERIC_WRITE, 0,
                                                      nullptr, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr));
        if (file)
            return temp;
        if (::GetLastError() != ERROR_FILE_EXISTS) {
            error = winapi::lastError();
            return std::nullopt;
        }
    }
    error = ERROR_FILE_EXISTS;
    return std::nullopt;
}

// Not shared: a writer that still holds the temporary file bars its flush, and with it the rename.
// FlushFileBuffers needs write access.
UniqueFile StagedFile::openTemporary(const std::string& tempHost, Use use, std::int32_t& error) {
    UniqueFile file(::CreateFileW(winapi::widePath(tempHost).c_str(), GENERIC_WRITE, 0, nullptr,
                                  use == Use::Write ? TRUNCATE_EXISTING : OPEN_EXISTING,
                                  FILE_ATTRIBUTE_HIDDEN, nullptr));
    error = file ? 0 : winapi::lastError();
    return file;
}

void StagedFile::removeTemporary(const std::string& tempHost) noexcept {
    try {
        ::DeleteFileW(winapi::widePath(tempHost).c_str());
    } catch (...) { // a name that cannot be made wide was never created
    }
}

std::int32_t StagedFile::setPermissionBits(std::uint32_t bits) {
    // Only the read-only attribute has a meaning here; the file stays hidden until it is renamed.
    const DWORD attributes = FILE_ATTRIBUTE_HIDDEN | ((bits & 0222) == 0 ? FILE_ATTRIBUTE_READONLY : 0);
    return ::SetFileAttributesW(winapi::widePath(m_tempHost).c_str(), attributes) != 0 ? 0
                                                                                       : winapi::lastError();
}

// One rename, flushed before it returns. A final file another program holds open (a virus scanner
// or an indexer looking at the old content) refuses it for a while: the rename is tried again until
// RenameRetryLimitMs have passed.
std::int32_t StagedFile::renameOntoFinal() {
    const std::wstring temp = winapi::widePath(m_tempHost);
    const std::wstring target = winapi::widePath(m_finalHost);
    // The final file is an ordinary one: the hidden mark belonged to the staging name alone.
    if (const DWORD attributes = ::GetFileAttributesW(temp.c_str()); attributes != INVALID_FILE_ATTRIBUTES) {
        const DWORD plain = attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN);
        ::SetFileAttributesW(temp.c_str(), plain != 0 ? plain : FILE_ATTRIBUTE_NORMAL);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(RenameRetryLimitMs);
    for (;;) {
        if (::MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) !=
            0)
            return 0;
        const DWORD code = ::GetLastError();
        if (!mayBeHeld(target, code) || std::chrono::steady_clock::now() >= deadline)
            return holderReason(target, code);
        ::Sleep(RenameRetryIntervalMs);
    }
}

} // namespace pelorix
