#include "platform/TypeLibRegistration.h"

#include "platform/RuntimeError.h"
#include "platform/TypeLibFile.h"
#include "platform/Win32Error.h"
#include "platform/win32/WindowsApi.h"

#include <cstdio>
#include <ole2.h>
#include <oleauto.h>

// The registration of the user's classes (Windows Vista and later), which MinGW-w64's headers
// leave out; its import library has them.
extern "C" {
HRESULT WINAPI RegisterTypeLibForUser(ITypeLib* library, OLECHAR* fullPath, OLECHAR* helpDir);
HRESULT WINAPI UnRegisterTypeLibForUser(REFGUID libraryId, WORD major, WORD minor, LCID lcid,
                                        SYSKIND sysKind);
}

namespace pelorix {

namespace {

// A type library the OLE Automation library loaded, released when it goes.
class LoadedTypeLib {
public:
    explicit LoadedTypeLib(const std::wstring& path) {
        if (const HRESULT hr = ::LoadTypeLibEx(path.c_str(), REGKIND_NONE, &m_library); FAILED(hr))
            m_result = hr;
    }
    ~LoadedTypeLib() {
        if (m_library != nullptr)
            m_library->Release();
    }
    LoadedTypeLib(const LoadedTypeLib&) = delete;
    LoadedTypeLib& operator=(const LoadedTypeLib&) = delete;
    HRESULT result() const noexcept { return m_result; }
    ITypeLib* get() const noexcept { return m_library; }

private:
    ITypeLib* m_library = nullptr;
    HRESULT m_result = S_OK;
};

[[noreturn]] void failWith(HRESULT hr, std::string_view windowsPath, std::string_view what) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
    const std::string text = win32::systemMessage(static_cast<std::int32_t>(hr));
    throw RuntimeError(static_cast<std::int32_t>(hr), std::string(windowsPath) + ": " + std::string(what) +
                                                          " failed: " + (text.empty() ? "" : text + " ") +
                                                          "(" + code + ")");
}

std::wstring fullPath(std::string_view windowsPath) {
    const std::wstring given = winapi::wide(windowsPath);
    std::wstring full(MAX_PATH, L'\0');
    DWORD length = ::GetFullPathNameW(given.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length >= full.size()) {
        full.resize(length);
        length = ::GetFullPathNameW(given.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    }
    if (length == 0 || length >= full.size())
        return given;
    full.resize(length);
    return full;
}

void unregisterLoaded(ITypeLib& library, std::string_view windowsPath, RegistrationScope scope) {
    TLIBATTR* attributes = nullptr;
    if (const HRESULT hr = library.GetLibAttr(&attributes); FAILED(hr))
        failWith(hr, windowsPath, "reading the type library's attributes");
    const TLIBATTR a = *attributes;
    library.ReleaseTLibAttr(attributes);
    const HRESULT hr =
        scope == RegistrationScope::User
            ? ::UnRegisterTypeLibForUser(a.guid, a.wMajorVerNum, a.wMinorVerNum, a.lcid, a.syskind)
            : ::UnRegisterTypeLib(a.guid, a.wMajorVerNum, a.wMinorVerNum, a.lcid, a.syskind);
    if (FAILED(hr))
        failWith(hr, windowsPath, "unregistering the type library (is it registered?)");
}

void registerOne(std::string_view windowsPath, RegistrationScope scope, bool unregister) {
    // The reader names a missing file, or one without a type library (or one without a GUID), as
    // on every system.
    typeLibRegistrationKeys(readTypeLibContent(windowsPath), windowsPath, false, false);
    std::wstring path = fullPath(windowsPath);
    const LoadedTypeLib library(path);
    if (FAILED(library.result()))
        failWith(library.result(), windowsPath, "loading the type library");
    if (unregister) {
        unregisterLoaded(*library.get(), windowsPath, scope);
        return;
    }
    const HRESULT hr = scope == RegistrationScope::User
                           ? ::RegisterTypeLibForUser(library.get(), path.data(), nullptr)
                           : ::RegisterTypeLib(library.get(), path.data(), nullptr);
    if (FAILED(hr))
        failWith(hr, windowsPath,
                 scope == RegistrationScope::User
                     ? "registering the type library for the user"
                     : "registering the type library (administrator rights needed?)");
}

} // namespace

RegistrationRun registerTypeLibraries(const std::vector<std::string>& windowsPaths, RegistrationScope scope,
                                      bool unregister) {
    RegistrationRun run;
    for (const std::string& path : windowsPaths) {
        run.results.push_back({path, std::nullopt});
        try {
            registerOne(path, scope, unregister);
        } catch (const RuntimeError& e) {
            run.results.back().error = e;
        }
    }
    return run;
}

} // namespace pelorix
