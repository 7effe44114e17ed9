#include "platform/PositionedFile.h"

#include "platform/win32/WindowsApi.h"

#include <algorithm>

namespace pelorix {
namespace {

class Win32File final : public PositionedFile {
public:
    Win32File(winapi::UniqueHandle file, std::uint64_t size) : m_file(std::move(file)), m_size(size) {}

    std::uint64_t size() const noexcept override { return m_size; }
    bool read(std::uint64_t offset, std::size_t n, void* out) const override {
        auto* dst = static_cast<char*>(out);
        while (n > 0) {
            OVERLAPPED at{};
            at.Offset = static_cast<DWORD>(offset);
            at.OffsetHigh = static_cast<DWORD>(offset >> 32);
            DWORD got = 0;
            const DWORD want = static_cast<DWORD>(std::min<std::size_t>(n, 1u << 30));
            if (::ReadFile(m_file.get(), dst, want, &got, &at) == 0 || got == 0)
                return false;
            dst += got;
            offset += got;
            n -= got;
        }
        return true;
    }

private:
    winapi::UniqueHandle m_file;
    std::uint64_t m_size;
};

} // namespace

std::unique_ptr<PositionedFile> PositionedFile::open(const std::string& hostPath) {
    if (hostPath.empty())
        return nullptr;
    winapi::UniqueHandle file(::CreateFileW(winapi::widePath(hostPath).c_str(), GENERIC_READ,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || ::GetFileType(file.get()) != FILE_TYPE_DISK || ::GetFileSizeEx(file.get(), &size) == 0)
        return nullptr;
    return std::make_unique<Win32File>(std::move(file), static_cast<std::uint64_t>(size.QuadPart));
}

} // namespace pelorix
