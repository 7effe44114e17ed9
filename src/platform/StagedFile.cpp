#include "platform/StagedFile.h"

#include "platform/FileKind.h"
#include "platform/HostFile.h"

#include <utility>

namespace pelorix {
namespace {

// The temporary name is longer than the final one: a final name near the file system's limit (255
// bytes or characters) must not make it too long, so only the start of the name, whole UTF-8
// characters, is kept in it.
constexpr std::size_t MaxNameInTemporary = 200;

std::string_view nameInTemporary(std::string_view name) {
    if (name.size() <= MaxNameInTemporary)
        return name;
    std::size_t cut = MaxNameInTemporary;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
        --cut; // not inside a character's bytes
    return name.substr(0, cut);
}

} // namespace

StagedFile::StagedFile(std::string finalHost, std::string tempHost)
    : m_finalHost(std::move(finalHost)), m_tempHost(std::move(tempHost)) {}

StagedFile::StagedFile(StagedFile&& other) noexcept
    : m_finalHost(std::move(other.m_finalHost)), m_tempHost(std::move(other.m_tempHost)),
      m_done(other.m_done) {
    other.m_done = true;
}

StagedFile::~StagedFile() {
    if (!m_done)
        removeTemporary(m_tempHost);
}

std::optional<StagedFile> StagedFile::create(const std::string& requestedHostPath, std::int32_t& error,
                                             Link link) {
    // A symbolic link is kept: the file it leads to is the one replaced, in its own folder.
    std::string finalHostPath =
        link == Link::KeepLink ? linkTargetHostPath(requestedHostPath) : requestedHostPath;
    const std::size_t nameStart = hostNameStart(finalHostPath);
    const std::string stem = finalHostPath.substr(0, nameStart) + "." +
                             std::string(nameInTemporary(std::string_view(finalHostPath).substr(nameStart))) +
                             ".pelorix-";
    auto temp = makeTemporary(stem, error);
    if (!temp)
        return std::nullopt;
    error = 0;
    return StagedFile(std::move(finalHostPath), std::move(*temp));
}

std::int32_t StagedFile::write(std::string_view bytes) {
    std::int32_t code = 0;
    UniqueFile file = openTemporary(m_tempHost, Use::Write, code);
    if (!file)
        return code;
    if ((code = writeAll(file.get(), bytes)) != 0)
        return code;
    return file.close();
}

std::int32_t StagedFile::commit() {
    // The content must be on disk before the name points at it.
    {
        std::int32_t code = 0;
        const UniqueFile file = openTemporary(m_tempHost, Use::Flush, code);
        if (!file)
            return code;
        if ((code = flushFile(file.get())) != 0)
            return code;
    }
    if (const std::int32_t code = renameOntoFinal(); code != 0)
        return code;
    m_done = true;
    return 0;
}

} // namespace pelorix
