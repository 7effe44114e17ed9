#include "platform/PositionedFile.h"

#include "platform/HostFile.h"
#include "platform/NativeFile.h"

namespace pelorix {
namespace {

class OpenRegularFile final : public PositionedFile {
public:
    OpenRegularFile(UniqueFile file, std::uint64_t size) : m_file(std::move(file)), m_size(size) {}

    std::uint64_t size() const noexcept override { return m_size; }
    bool read(std::uint64_t offset, std::size_t n, void* out) const override {
        auto* dst = static_cast<char*>(out);
        while (n > 0) {
            std::size_t got = 0;
            if (readSomeAt(m_file.get(), offset, dst, n, got) != 0 || got == 0)
                return false; // an I/O error, or the file shrank under us
            dst += got;
            offset += got;
            n -= got;
        }
        return true;
    }

private:
    UniqueFile m_file;
    std::uint64_t m_size;
};

} // namespace

std::unique_ptr<PositionedFile> PositionedFile::open(const std::string& hostPath) {
    if (hostPath.empty())
        return nullptr;
    std::int32_t error = 0;
    std::uint64_t size = 0;
    UniqueFile file = openFileForReading(hostPath, error, size);
    if (!file)
        return nullptr;
    return std::make_unique<OpenRegularFile>(std::move(file), size);
}

} // namespace pelorix
