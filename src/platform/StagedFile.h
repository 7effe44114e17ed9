#pragma once

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
// link itself is to be replaced. Operations give Win32 codes (0 = done).
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

    // Replaces the temporary file's content with the bytes.
    [[nodiscard]] std::int32_t write(std::string_view bytes);
    // Gives the temporary file the permission bits it will carry under its final name.
    [[nodiscard]] std::int32_t setPermissionBits(std::uint32_t bits);
    // Flushes the content to disk, renames it onto the final name and makes the rename durable.
    [[nodiscard]] std::int32_t commit();

private:
    StagedFile(std::string finalHost, std::string tempHost);

    std::string m_finalHost;
    std::string m_tempHost;
    bool m_done = false;
};

// The permission bits of an existing host file, or the fallback.
std::uint32_t permissionBitsOf(const std::string& hostPath, std::uint32_t fallback) noexcept;

} // namespace pelorix
