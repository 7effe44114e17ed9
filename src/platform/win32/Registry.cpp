// The registry through the system's registry API. Texts pass through the ANSI code page as the
// ANSI functions pass them: a character the code page cannot hold reads as "?", and lengths that
// meet a caller's buffer are counted in ANSI bytes.
#include "platform/Registry.h"

#include "platform/CodePage.h"
#include "platform/Win32Error.h"
#include "platform/win32/WindowsApi.h"

#include <mutex>
#include <vector>

namespace pelorix {
namespace {

constexpr HKEY kFirstHandle = 0x100;

std::string throughAnsi(std::string_view text) {
    if (isAscii(text))
        return std::string(text);
    return ansiToUtf8(utf8ToAnsi(text));
}

bool isStringType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

std::uint64_t fileTimeValue(const FILETIME& time) {
    return static_cast<std::uint64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
}

struct ClassesWatch; // below: the change reports of the classes

} // namespace

// The keys of the system's registry this process has open, each with the predefined root it was
// opened below, and the watch on the classes.
struct Registry::State {
    mutable std::mutex m_mutex;
    std::vector<void*> m_native;
    std::vector<HKEY> m_roots;
    std::size_t m_openCount = 0;
    std::shared_ptr<ClassesWatch> m_classesWatch;
};

Registry::Registry() : m_state(std::make_unique<State>()) {}
Registry::~Registry() = default;

Registry& Registry::process() {
    static Registry registry;
    return registry;
}

namespace {

// The native key a handle number of this layer stands for; nullptr when it stands for none.
::HKEY nativeRoot(HKEY key) {
    switch (static_cast<std::uint32_t>(key)) {
    case 0x80000000u:
        return reinterpret_cast<::HKEY>(static_cast<ULONG_PTR>(0x80000000u));
    case 0x80000001u:
        return reinterpret_cast<::HKEY>(static_cast<ULONG_PTR>(0x80000001u));
    case 0x80000002u:
        return reinterpret_cast<::HKEY>(static_cast<ULONG_PTR>(0x80000002u));
    default:
        return nullptr;
    }
}

} // namespace

std::int32_t Registry::RegOpenKeyEx(HKEY key, std::string_view subKey, std::uint32_t access, HKEY& result) {
    const std::lock_guard lock(m_state->m_mutex);
    result = 0;
    ::HKEY parent = nativeRoot(key);
    HKEY root = key;
    if (parent == nullptr) {
        const auto slot = static_cast<std::size_t>((key - kFirstHandle) / 4);
        if (key < kFirstHandle || slot >= m_state->m_native.size() || m_state->m_native[slot] == nullptr)
            return win32::InvalidHandle;
        parent = static_cast<::HKEY>(m_state->m_native[slot]);
        root = m_state->m_roots[slot];
    }
    const std::wstring name = winapi::wide(throughAnsi(subKey));
    ::HKEY opened = nullptr;
    const LONG rc = ::RegOpenKeyExW(parent, name.c_str(), 0, access, &opened);
    if (rc != ERROR_SUCCESS)
        return rc;
    std::size_t slot = 0;
    while (slot < m_state->m_native.size() && m_state->m_native[slot] != nullptr)
        ++slot;
    if (slot == m_state->m_native.size()) {
        m_state->m_native.push_back(nullptr);
        m_state->m_roots.push_back(0);
    }
    m_state->m_native[slot] = opened;
    m_state->m_roots[slot] = root;
    ++m_state->m_openCount;
    result = kFirstHandle + static_cast<HKEY>(slot) * 4;
    return win32::Success;
}

std::int32_t Registry::RegCloseKey(HKEY key) {
    const std::lock_guard lock(m_state->m_mutex);
    if (nativeRoot(key) != nullptr)
        return win32::Success;
    const auto slot = static_cast<std::size_t>((key - kFirstHandle) / 4);
    if (key < kFirstHandle || slot >= m_state->m_native.size() || m_state->m_native[slot] == nullptr)
        return win32::InvalidHandle;
    ::RegCloseKey(static_cast<::HKEY>(m_state->m_native[slot]));
    m_state->m_native[slot] = nullptr;
    --m_state->m_openCount;
    return win32::Success;
}

namespace {

// The native key of a handle number, roots included; nullptr when it stands for none.
::HKEY nativeKey(const std::vector<void*>& open, HKEY key) {
    if (::HKEY root = nativeRoot(key))
        return root;
    const auto slot = static_cast<std::size_t>((key - kFirstHandle) / 4);
    if (key < kFirstHandle || slot >= open.size())
        return nullptr;
    return static_cast<::HKEY>(open[slot]);
}

} // namespace

std::int32_t Registry::RegEnumKeyEx(HKEY key, std::uint32_t index, std::uint32_t nameCapacity,
                                    std::string& name, std::uint64_t* lastWriteTime) {
    const std::lock_guard lock(m_state->m_mutex);
    const ::HKEY native = nativeKey(m_state->m_native, key);
    if (native == nullptr)
        return win32::InvalidHandle;
    wchar_t buffer[256];
    DWORD length = 256;
    FILETIME written{};
    const LONG rc = ::RegEnumKeyExW(native, index, buffer, &length, nullptr, nullptr, nullptr, &written);
    if (rc != ERROR_SUCCESS)
        return rc;
    const std::string utf8 = winapi::narrow(std::wstring_view(buffer, length));
    const std::string ansi = utf8ToAnsi(utf8);
    if (ansi.size() >= nameCapacity)
        return win32::MoreData;
    name = isAscii(utf8) ? utf8 : ansiToUtf8(ansi);
    if (lastWriteTime != nullptr)
        *lastWriteTime = fileTimeValue(written);
    return win32::Success;
}

std::int32_t Registry::RegQueryValueEx(HKEY key, std::string_view valueName, std::uint32_t& type,
                                       std::string& text, std::uint32_t& dataSize) {
    const std::lock_guard lock(m_state->m_mutex);
    const ::HKEY native = nativeKey(m_state->m_native, key);
    if (native == nullptr)
        return win32::InvalidHandle;
    const std::wstring name = winapi::wide(throughAnsi(valueName));
    DWORD nativeType = 0;
    DWORD size = 0;
    LONG rc = ::RegQueryValueExW(native, name.c_str(), nullptr, &nativeType, nullptr, &size);
    std::wstring data;
    while (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) {
        data.assign(size / sizeof(wchar_t) + 1, L'\0');
        DWORD got = static_cast<DWORD>(data.size() * sizeof(wchar_t));
        rc = ::RegQueryValueExW(native, name.c_str(), nullptr, &nativeType,
                                reinterpret_cast<BYTE*>(data.data()), &got);
        if (rc == ERROR_SUCCESS) {
            data.resize(got / sizeof(wchar_t));
            break;
        }
        size = got;
    }
    if (rc != ERROR_SUCCESS)
        return rc;
    type = nativeType;
    text.clear();
    if (!isStringType(nativeType)) {
        dataSize = 0;
        return win32::Success;
    }
    // The stored text ends in one NUL; inner NULs (REG_MULTI_SZ) are kept.
    if (!data.empty() && data.back() == L'\0')
        data.pop_back();
    const std::string stored = winapi::narrow(data);
    const std::uint32_t capacity = dataSize;
    const std::string ansi = utf8ToAnsi(stored);
    dataSize = static_cast<std::uint32_t>(ansi.size() + 1);
    if (dataSize > capacity)
        return win32::MoreData;
    text = isAscii(stored) ? stored : ansiToUtf8(ansi);
    return win32::Success;
}

std::int32_t Registry::RegQueryInfoKey(HKEY key, std::uint64_t& lastWriteTime) {
    const std::lock_guard lock(m_state->m_mutex);
    const ::HKEY native = nativeKey(m_state->m_native, key);
    if (native == nullptr)
        return win32::InvalidHandle;
    FILETIME written{};
    const LONG rc = ::RegQueryInfoKeyW(native, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                       nullptr, nullptr, nullptr, &written);
    if (rc != ERROR_SUCCESS)
        return rc;
    lastWriteTime = fileTimeValue(written);
    return win32::Success;
}

std::size_t Registry::openKeyCount() const {
    const std::lock_guard lock(m_state->m_mutex);
    return m_state->m_openCount;
}

// A change notification on the machine's and the user's classes, each tree with all its subkeys,
// whose events stay set once a change was reported. HKEY_CLASSES_ROOT is their merge on Windows
// (under Wine the machine's alone), so no change of it passes unseen. The trees are opened in the
// 64-bit view where there is one, so that the 32-bit classes below them are watched too.
namespace {

struct ClassesWatch {
    struct Tree {
        winapi::UniqueKey key;
        winapi::UniqueHandle changed;
    };
    std::vector<Tree> trees;
    std::uint64_t changes = 0;

    bool unchanged() const {
        if (trees.empty())
            return false;
        for (const Tree& tree : trees)
            if (::WaitForSingleObject(tree.changed.get(), 0) != WAIT_TIMEOUT)
                return false;
        return true;
    }

    // Watches both trees afresh; false (and nothing watched) when the system refuses. A tree that
    // does not exist (the user's, under Wine) is watched through the nearest key above it that
    // does, which reports its making.
    bool arm() {
        trees.clear();
        for (const std::uint32_t root : {0x80000002u, 0x80000001u}) {
            ::HKEY opened = nullptr;
            LONG rc = ERROR_FILE_NOT_FOUND;
            for (const wchar_t* path : {L"Software\\Classes", L"Software", L""}) {
                rc = ::RegOpenKeyExW(nativeRoot(static_cast<HKEY>(root)), path, 0,
                                     KEY_NOTIFY | KEY_WOW64_64KEY, &opened);
                if (rc != ERROR_FILE_NOT_FOUND)
                    break;
            }
            if (rc != ERROR_SUCCESS)
                return fail();
            Tree tree{winapi::UniqueKey(opened),
                      winapi::UniqueHandle(::CreateEventW(nullptr, TRUE, FALSE, nullptr))};
            if (!tree.changed ||
                ::RegNotifyChangeKeyValue(tree.key.get(), TRUE,
                                          REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET,
                                          tree.changed.get(), TRUE) != ERROR_SUCCESS)
                return fail();
            trees.push_back(std::move(tree));
        }
        return true;
    }

    bool fail() {
        trees.clear();
        return false;
    }
};

} // namespace

std::optional<Registry::Contents> Registry::contentsOf(HKEY key) {
    const std::lock_guard lock(m_state->m_mutex);
    if (nativeKey(m_state->m_native, key) == nullptr)
        return std::nullopt;
    const bool classes =
        nativeRoot(key) != nullptr
            ? key == HKEY_CLASSES_ROOT
            : m_state->m_roots[static_cast<std::size_t>((key - kFirstHandle) / 4)] == HKEY_CLASSES_ROOT;
    if (!classes)
        return std::nullopt;
    if (!m_state->m_classesWatch)
        m_state->m_classesWatch = std::make_shared<ClassesWatch>();
    ClassesWatch& watch = *m_state->m_classesWatch;
    if (!watch.unchanged()) {
        ++watch.changes;
        if (!watch.arm())
            return std::nullopt;
    }
    return Contents{nullptr, nullptr, watch.changes};
}

} // namespace pelorix
