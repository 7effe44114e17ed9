#include "platform/PositionedFile.h"

#include "platform/linux/UniqueFd.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pelorix {
namespace {

class PosixFile final : public PositionedFile {
public:
    PosixFile(UniqueFd fd, std::uint64_t size) : m_fd(std::move(fd)), m_size(size) {}

    std::uint64_t size() const noexcept override { return m_size; }
    bool read(std::uint64_t offset, std::size_t n, void* out) const override {
        auto* dst = static_cast<char*>(out);
        while (n > 0) {
            const ssize_t got = ::pread(m_fd.get(), dst, n, static_cast<off_t>(offset));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0) // the file shrank under us, or an I/O error
                return false;
            dst += got;
            offset += static_cast<std::uint64_t>(got);
            n -= static_cast<std::size_t>(got);
        }
        return true;
    }

private:
    UniqueFd m_fd;
    std::uint64_t m_size;
};

} // namespace

std::unique_ptr<PositionedFile> PositionedFile::open(const std::string& hostPath) {
    if (hostPath.empty())
        return nullptr;
    int fd = -1;
    do {
        fd = ::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    UniqueFd owned(fd);
    struct stat st {};
    if (!owned.valid() || ::fstat(owned.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return nullptr;
    return std::make_unique<PosixFile>(std::move(owned), static_cast<std::uint64_t>(st.st_size));
}

} // namespace pelorix
