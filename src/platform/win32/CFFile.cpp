#include "platform/CFFile.h"

#include "platform/Win32Error.h"
#include "platform/win32/WindowsApi.h"

namespace pelorix {

// No sharing: while this handle is open every other open of the file fails with code 32. A
// folder is refused by the system itself, and so is a read-only file, but for the superuser under
// Wine: the attribute is checked once more.
UniqueFile CFFile::openUnshared(const std::string& hostPath, std::int32_t& error) {
    UniqueFile file(::CreateFileW(winapi::widePath(hostPath).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        error = winapi::lastError();
        return file;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileInformationByHandle(file.get(), &info) != 0 &&
        (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
        error = win32::AccessDenied;
        return UniqueFile();
    }
    return file;
}

} // namespace pelorix
