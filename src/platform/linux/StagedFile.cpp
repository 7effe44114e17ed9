#include "platform/StagedFile.h"

#include "platform/HostFile.h"
#include "platform/linux/PosixApi.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pelorix {

std::uint32_t permissionBitsOf(const std::string& hostPath, std::uint32_t fallback) noexcept {
    struct stat st {};
    return ::stat(hostPath.c_str(), &st) == 0 ? (st.st_mode & 07777) : fallback;
}

std::optional<std::string> StagedFile::makeTemporary(const std::string& stem, std::int32_t& error) {
    std::string temp = stem + "XXXXXX";
    const UniqueFile file(::mkostemp(temp.data(), O_CLOEXEC));
    if (!file) {
        error = win32::lastErrno();
        return std::nullopt;
    }
    return temp;
}

UniqueFile StagedFile::openTemporary(const std::string& tempHost, Use use, std::int32_t& error) {
    // fsync needs no write access.
    UniqueFile file(
        ::open(tempHost.c_str(), use == Use::Write ? O_WRONLY | O_TRUNC | O_CLOEXEC : O_RDONLY | O_CLOEXEC));
    error = file ? 0 : win32::lastErrno();
    return file;
}

void StagedFile::removeTemporary(const std::string& tempHost) noexcept {
    ::unlink(tempHost.c_str());
}

std::int32_t StagedFile::setPermissionBits(std::uint32_t bits) {
    return ::chmod(m_tempHost.c_str(), static_cast<mode_t>(bits)) == 0 ? 0 : win32::lastErrno();
}

// rename() replaces the final name in one step, a link as well. The folder is synchronised after
// it, so that the rename itself is durable; a failure there no longer risks the content.
std::int32_t StagedFile::renameOntoFinal() {
    if (::rename(m_tempHost.c_str(), m_finalHost.c_str()) != 0)
        return win32::lastErrno();
    const UniqueFile folder(::open(hostFolderOf(m_finalHost).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder)
        ::fsync(folder.get());
    return 0;
}

} // namespace pelorix
