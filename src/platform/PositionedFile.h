#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace pelorix {

// A regular file open for reads at any offset, which leave no position behind.
class PositionedFile {
public:
    // The regular file at a host path; nothing for anything else (a FIFO or a device must not
    // block the reader, a folder has no bytes) or when it cannot be opened.
    static std::unique_ptr<PositionedFile> open(const std::string& hostPath);

    virtual ~PositionedFile() = default;
    // The size when the file was opened.
    virtual std::uint64_t size() const noexcept = 0;
    // Copies n bytes at offset into out; false when they cannot all be read (an I/O error, or the
    // file shrank).
    virtual bool read(std::uint64_t offset, std::size_t n, void* out) const = 0;
};

} // namespace pelorix
