#include "platform/StagedFile.h"

#include "platform/win32/WindowsApi.h"

#include <algorithm>
#include <random>

namespace pelorix {
namespace {

std::string folderOf(const std::string& path) {
    const auto sep = path.find_last_of("\\/");
    if (sep == std::string::npos)
        return ".";
    return path.substr(0, sep == 2 && path[1] == ':' ? 3 : sep);
}

std::string nameOf(const std::string& path) {
    const auto sep = path.find_last_of("\\/");
    return sep == std::string::npos ? path : path.substr(sep + 1);
}

// The temporary name is longer than the final one: a final name near the file system's limit (255
// characters) must not make it too long, so only the start of the name, whole characters, is kept.
constexpr std::size_t MaxNameInTemporary = 200;

std::string nameInTemporary(const std::string& name) {
    if (name.size() <= MaxNameInTemporary)
        return name;
    std::size_t cut = MaxNameInTemporary;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
        --cut; // not inside a character's UTF-8 bytes
    return name.substr(0, cut);
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

// The rename replaces the name itself, a link as well: either way of Link holds.
std::optional<StagedFile> StagedFile::create(const std::string& finalHostPath, std::int32_t& error, Link) {
    std::random_device seed;
    std::mt19937 random(seed());
    const std::string stem =
        folderOf(finalHostPath) + "\\." + nameInTemporary(nameOf(finalHostPath)) + ".pelorix-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string temp = stem + std::to_string(random() % 1000000);
        const winapi::UniqueHandle file(::CreateFileW(winapi::widePath(temp).c_str(), GENERIC_WRITE, 0,
                                                      nullptr, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr));
        if (file) {
            error = 0;
            return StagedFile(finalHostPath, temp);
        }
        if (::GetLastError() != ERROR_FILE_EXISTS) {
            error = winapi::lastError();
            return std::nullopt;
        }
    }
    error = ERROR_FILE_EXISTS;
    return std::nullopt;
}

StagedFile::~StagedFile() {
    if (!m_done)
        ::DeleteFileW(winapi::widePath(m_tempHost).c_str());
}

std::int32_t StagedFile::write(std::string_view bytes) {
    const winapi::UniqueHandle file(::CreateFileW(winapi::widePath(m_tempHost).c_str(), GENERIC_WRITE, 0,
                                                  nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_HIDDEN,
                                                  nullptr));
    if (!file)
        return winapi::lastError();
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        DWORD written = 0;
        if (::WriteFile(file.get(), bytes.data(), chunk, &written, nullptr) == 0)
            return winapi::lastError();
        if (written == 0)
            return ERROR_DISK_FULL;
        bytes.remove_prefix(written);
    }
    // The content must be on disk before the name points at it.
    return ::FlushFileBuffers(file.get()) != 0 ? 0 : winapi::lastError();
}

std::int32_t StagedFile::setPermissionBits(std::uint32_t bits) {
    // Only the read-only attribute has a meaning here; the file stays hidden until it is renamed.
    const DWORD attributes = FILE_ATTRIBUTE_HIDDEN | ((bits & 0222) == 0 ? FILE_ATTRIBUTE_READONLY : 0);
    return ::SetFileAttributesW(winapi::widePath(m_tempHost).c_str(), attributes) != 0 ? 0
                                                                                       : winapi::lastError();
}

std::int32_t StagedFile::commit() {
    const std::wstring temp = winapi::widePath(m_tempHost);
    const DWORD attributes = ::GetFileAttributesW(temp.c_str());
    // The final file is an ordinary one: the hidden mark belonged to the staging name alone.
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        const DWORD plain = attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN);
        ::SetFileAttributesW(temp.c_str(), plain != 0 ? plain : FILE_ATTRIBUTE_NORMAL);
    }
    // One rename, flushed before it returns.
    if (::MoveFileExW(temp.c_str(), winapi::widePath(m_finalHost).c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0)
        return winapi::lastError();
    m_done = true;
    return 0;
}

} // namespace pelorix
