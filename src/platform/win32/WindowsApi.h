#pragma once

// The Win32 API for the Windows backend files, and what they share: UTF-8 <-> UTF-16 for the
// wide-character calls, owned handles, and the API's macros that clash with this program's names
// taken away.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#undef DeleteFile
#undef GetFileSize
#undef RegOpenKeyEx
#undef RegEnumKeyEx
#undef RegQueryValueEx
#undef RegQueryInfoKey
#undef HKEY_CLASSES_ROOT
#undef HKEY_CURRENT_USER
#undef HKEY_LOCAL_MACHINE
#undef REG_SZ
#undef GetEnvironmentVariable

#include "platform/NativeFile.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace pelorix::winapi {

// UTF-16 of a UTF-8 text (invalid sequences become U+FFFD), and back.
std::wstring wide(std::string_view utf8);
std::string narrow(std::wstring_view utf16);

// A Win32 path for a path of this program: "\\?\" in front of a long absolute path, so that the
// wide-character file functions take it past MAX_PATH where the system allows.
std::wstring widePath(std::string_view path);

// The thread's last Win32 error as this program's code.
inline std::int32_t lastError() noexcept {
    return static_cast<std::int32_t>(::GetLastError());
}

// A kernel handle owned by one object and closed when it goes away: a file, or any other object
// the system hands out as a HANDLE (a process, a job, an event).
using UniqueHandle = UniqueFile;

// An open registry key owned by one object.
class UniqueKey {
public:
    explicit UniqueKey(::HKEY key = nullptr) noexcept : m_key(key) {}
    ~UniqueKey() {
        if (m_key != nullptr)
            ::RegCloseKey(m_key);
    }
    UniqueKey(UniqueKey&& other) noexcept : m_key(std::exchange(other.m_key, nullptr)) {}
    UniqueKey& operator=(UniqueKey&&) = delete;
    UniqueKey(const UniqueKey&) = delete;
    UniqueKey& operator=(const UniqueKey&) = delete;
    ::HKEY get() const noexcept { return m_key; }

private:
    ::HKEY m_key;
};

} // namespace pelorix::winapi
