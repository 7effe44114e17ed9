#include "platform/StagedFile.h"

#include "platform/FileKind.h"
#include "platform/HostFile.h"
#include "platform/Win32Error.h"
#include "platform/linux/UniqueFd.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace pelorix {
namespace {

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

// 255 bytes for a name, less the dot and ".pelorix-XXXXXX" the temporary name adds.
constexpr std::size_t MaxNameInTemporary = 200;

std::int32_t lastErrno() noexcept {
    return win32::fromErrno(errno);
}

} // namespace

std::uint32_t permissionBitsOf(const std::string& hostPath, std::uint32_t fallback) noexcept {
    struct stat st {};
    return ::stat(hostPath.c_str(), &st) == 0 ? (st.st_mode & 07777) : fallback;
}

std::optional<StagedFile> StagedFile::create(const std::string& requestedHostPath, std::int32_t& error,
                                             Link link) {
    // A symbolic link is kept: the file it leads to is the one replaced, in its own folder.
    const std::string finalHostPath =
        link == Link::KeepLink ? linkTargetHostPath(requestedHostPath) : requestedHostPath;
    const auto slash = finalHostPath.find_last_of('/');
    std::string name = slash == std::string::npos ? finalHostPath : finalHostPath.substr(slash + 1);
    // The temporary name is longer than the final one: a final name near the file system's limit
    // must not make it too long, so only the start of the name is kept in it.
    if (name.size() > MaxNameInTemporary)
        name.resize(MaxNameInTemporary);
    std::string temp = folderOf(finalHostPath) + "/." + name + ".pelorix-XXXXXX";
    UniqueFd fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (!fd.valid()) {
        error = lastErrno();
        return std::nullopt;
    }
    error = 0;
    return StagedFile(finalHostPath, std::move(temp));
}

StagedFile::~StagedFile() {
    if (!m_done)
        ::unlink(m_tempHost.c_str());
}

std::int32_t StagedFile::write(std::string_view bytes) {
    UniqueFd fd(::open(m_tempHost.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC));
    if (!fd.valid())
        return lastErrno();
    if (const std::int32_t code = writeAll(fd.get(), bytes); code != 0)
        return code;
    return fd.close() == 0 ? 0 : lastErrno();
}

std::int32_t StagedFile::setPermissionBits(std::uint32_t bits) {
    return ::chmod(m_tempHost.c_str(), static_cast<mode_t>(bits)) == 0 ? 0 : lastErrno();
}

std::int32_t StagedFile::commit() {
    // The content must be on disk before the name points at it.
    {
        UniqueFd fd(::open(m_tempHost.c_str(), O_RDONLY | O_CLOEXEC));
        if (!fd.valid() || ::fsync(fd.get()) != 0)
            return lastErrno();
    }
    if (::rename(m_tempHost.c_str(), m_finalHost.c_str()) != 0)
        return lastErrno();
    m_done = true;
    // Make the rename itself durable; a failure here no longer risks the content.
    const UniqueFd dir(::open(folderOf(m_finalHost).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.valid())
        ::fsync(dir.get());
    return 0;
}

} // namespace pelorix
