#pragma once

#include "platform/NativeFile.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pelorix {

// A new file written beside its final name and put in place with one rename, so that the final
// name always holds either its old content or the whole new one, also when the process is killed
// part-way. Until commit() the content lives in a hidden temporary file in the same folder, which
// is removed again when the object goes away uncommitted. A final name that is a symbolic link
// stays one: the staged file lies beside, and replaces, the file the link leads to, unless the
// link itself is to be replaced. Operations give Win32 codes (0 = done). All of this holds on both
// systems; where one of them needs more, commit() says so.
class StagedFile {
public:
    enum class Link {
        KeepLink,    // a symbolic link stays; the file it leads to is replaced
        ReplaceLink, // the name is replaced, whatever it is: nothing is written where a link leads
    };
    // Creates the temporary file beside the final host path; nothing, and the code in error, when
    // the folder cannot take it.
    static std::optional<StagedFile> create(const std::string& finalHostPath, std::int32_t& error,
                                            Link link = Link::KeepLink);

    StagedFile(StagedFile&& other) noexcept;
    StagedFile& operator=(StagedFile&&) = delete;
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;
    ~StagedFile();

    // The temporary file, for writers that fill it themselves.
    const std::string& hostPath() const noexcept { return m_tempHost; }
    // The file commit() replaces: the final name, or where its link leads.
    const std::string& finalHostPath() const noexcept { return m_finalHost; }

    // Replaces the temporary file's content with the bytes.
    [[nodiscard]] std::int32_t write(std::string_view bytes);
    // Gives the temporary file the permission bits it will carry under its final name (on
    // Windows the read-only attribute alone: 0444 and the like).
    [[nodiscard]] std::int32_t setPermissionBits(std::uint32_t bits);
    // Flushes the content to disk, whoever wrote it, renames it onto the final name and makes the
    // rename durable; when the content cannot be flushed (on Windows also while a writer still
    // holds the temporary file), nothing is renamed. On Windows a final file that another program holds open
    // (a virus scanner, an indexer) bars the rename for a while: the rename is tried again for up
    // to RenameRetryLimitMs before it fails, with the code of the holder's hold (32, the file is
    // in use) when the file is still held then.
    [[nodiscard]] std::int32_t commit();

    static constexpr int RenameRetryLimitMs = 2000;

private:
    StagedFile(std::string finalHost, std::string tempHost);

    // Each system's part. Makes a new, empty, hidden file whose name starts with stem, and gives
    // its path; nothing, and the code in error, when none can be made.
    static std::optional<std::string> makeTemporary(const std::string& stem, std::int32_t& error);
    // Opens the temporary file to write its content (emptied first) or to flush it.
    enum class Use { Write, Flush };
    static UniqueFile openTemporary(const std::string& tempHost, Use use, std::int32_t& error);
    static void removeTemporary(const std::string& tempHost) noexcept;
    // Renames the temporary file onto the final name, durably.
    std::int32_t renameOntoFinal();

    std::string m_finalHost;
    std::string m_tempHost;
    bool m_done = false;
};

// The permission bits of an existing host file, or the fallback (on Windows 0444 for a read-only
// file, else 0644).
std::uint32_t permissionBitsOf(const std::string& hostPath, std::uint32_t fallback) noexcept;

} // namespace pelorix
