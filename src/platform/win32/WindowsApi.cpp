#include "platform/win32/WindowsApi.h"

namespace pelorix::winapi {

std::wstring wide(std::string_view utf8) {
    if (utf8.empty())
        return {};
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::string narrow(std::wstring_view utf16) {
    if (utf16.empty())
        return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), nullptr, 0,
                                        nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), out.data(), n, nullptr,
                          nullptr);
    return out;
}

std::wstring widePath(std::string_view path) {
    std::wstring w = wide(path);
    for (auto& c : w)
        if (c == L'/')
            c = L'\\';
    if (w.size() < MAX_PATH - 12 || w.starts_with(L"\\\\?\\"))
        return w;
    if (w.size() > 2 && w[1] == L':' && w[2] == L'\\')
        return L"\\\\?\\" + w;
    if (w.starts_with(L"\\\\"))
        return L"\\\\?\\UNC\\" + w.substr(2);
    return w;
}

} // namespace pelorix::winapi
