#include "platform/Registry.h"

#include "formats/RegistryFile.h"
#include "platform/CodePage.h"
#include "platform/Environment.h"
#include "platform/ErrorLog.h"
#include "platform/NativeFile.h"
#include "platform/Text.h"
#include "platform/TimeFormat.h"
#include "platform/Win32Error.h"
#include "platform/linux/WinePrefix.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace pelorix {

namespace {

// The prefix's registry files as the keys opened together see them.
struct Snapshot {
    std::shared_ptr<const RegistryFile> machine;
    std::shared_ptr<const RegistryFile> user;
    const RegistryKey* classes = nullptr; // the machine's Software\Classes, null when missing
};

constexpr HKEY kFirstHandle = 0x40;
constexpr std::string_view kClasses = "Software\\Classes";

std::shared_ptr<const RegistryFile> emptyFile() {
    static const auto empty = std::make_shared<const RegistryFile>();
    return empty;
}

std::optional<std::string> readAll(int fd, std::size_t expected) {
    // One byte more than expected, so that the read which finds the end needs no larger buffer.
    std::string bytes;
    bytes.resize(expected + 1);
    std::size_t done = 0;
    while (true) {
        if (done == bytes.size())
            bytes.resize(bytes.size() + 4096);
        const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    bytes.resize(done);
    return bytes;
}

// The program's view of a name or text: through the ANSI code page and back.
std::string throughAnsi(std::string_view text) {
    if (isAscii(text))
        return std::string(text);
    return ansiToUtf8(utf8ToAnsi(text));
}

bool isStringType(std::uint32_t type) {
    return type == regtype::Sz || type == regtype::ExpandSz || type == regtype::MultiSz;
}

} // namespace

// The registry of the prefix as this process reads it: the open keys, the parsed files, and the
// path the last walk took.
struct Registry::State {
    struct OpenKey {
        std::shared_ptr<const Snapshot> snapshot;
        const RegistryFile* file = nullptr;
        const RegistryKey* key = nullptr;
    };
    struct CachedFile {
        std::string hostPath;
        std::string identity;
        bool notRegistry = false;
        std::shared_ptr<const RegistryFile> file;
        std::optional<std::string> racyBytes; // kept while the file may still change unseen
    };
    struct PathPart {
        const RegistryKey* key;
        std::size_t position; // among the parent's children, for the next sibling's look-up
    };

    std::shared_ptr<const Snapshot> currentSnapshot();
    std::shared_ptr<const RegistryFile> loadFile(CachedFile& cache, const std::string& hostPath);
    static void logIfNotRegistry(const CachedFile& cache);
    static std::optional<OpenKey> rootKey(HKEY key, std::shared_ptr<const Snapshot> snapshot);
    const RegistryKey* resolveFromRoot(HKEY root, const OpenKey& rootKey, std::string_view path);
    OpenKey* find(HKEY key);

    mutable std::mutex m_mutex;
    std::vector<std::optional<OpenKey>> m_open;
    std::size_t m_openCount = 0;
    std::shared_ptr<const Snapshot> m_current;
    HKEY m_lastRoot = 0;
    std::shared_ptr<const Snapshot> m_lastSnapshot;
    std::vector<PathPart> m_lastPath;
    // The previous path when all its parts were found: its first m_lastPathDepth parts are
    // those of m_lastPath.
    std::string m_lastPathText;
    std::size_t m_lastPathDepth = 0;
    bool m_lastPathKnown = false;
    CachedFile m_machineCache;
    CachedFile m_userCache;
};

Registry::Registry() : m_state(std::make_unique<State>()) {}
Registry::~Registry() = default;

Registry& Registry::process() {
    static Registry registry;
    return registry;
}

std::shared_ptr<const RegistryFile> Registry::State::loadFile(CachedFile& cache,
                                                              const std::string& hostPath) {
    const UniqueFile fd(::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        cache = CachedFile{};
        return emptyFile();
    }
    // The identity of the bytes about to be read; an unchanged file is not parsed again.
    const std::string identity = std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) + ":" +
                                 std::to_string(st.st_size) + ":" + std::to_string(st.st_mtim.tv_sec) + "." +
                                 std::to_string(st.st_mtim.tv_nsec);
    const bool sameIdentity =
        cache.file != nullptr && cache.hostPath == hostPath && cache.identity == identity;
    if (sameIdentity && !cache.racyBytes) {
        logIfNotRegistry(cache);
        return cache.file;
    }
    auto bytes = readAll(fd.get(), static_cast<std::size_t>(st.st_size));
    if (!bytes) {
        cache = CachedFile{};
        return emptyFile();
    }
    // A file changed within the clock tick of its last read can keep its size and time: such
    // a file is compared byte for byte until its time lies safely in the past.
    const auto modified = std::chrono::system_clock::time_point(std::chrono::seconds(st.st_mtim.tv_sec) +
                                                                std::chrono::nanoseconds(st.st_mtim.tv_nsec));
    const bool racy = std::chrono::system_clock::now() - modified < std::chrono::seconds(2);
    if (sameIdentity && *cache.racyBytes == *bytes) {
        if (!racy)
            cache.racyBytes.reset();
        logIfNotRegistry(cache);
        return cache.file;
    }
    cache = CachedFile{hostPath, identity, false, emptyFile(), std::nullopt};
    const std::uint64_t fileTime =
        fileTimeFromUnix(st.st_mtim.tv_sec, static_cast<std::uint32_t>(st.st_mtim.tv_nsec));
    if (auto parsed = RegistryFile::parse(*bytes, fileTime))
        cache.file = std::make_shared<const RegistryFile>(std::move(*parsed));
    else
        cache.notRegistry = true;
    if (racy)
        cache.racyBytes = std::move(*bytes);
    logIfNotRegistry(cache);
    return cache.file;
}

void Registry::State::logIfNotRegistry(const CachedFile& cache) {
    if (cache.notRegistry)
        WriteErrorLog(0, "Not a Wine registry file, read as an empty registry: " + cache.hostPath,
                      "RegOpenKeyEx", "Registry", ErrorLevel::Error, false);
}

std::shared_ptr<const Snapshot> Registry::State::currentSnapshot() {
    if (m_current != nullptr && m_openCount > 0)
        return m_current;
    const std::string prefix = winePrefix();
    auto snapshot = std::make_shared<Snapshot>();
    snapshot->machine = loadFile(m_machineCache, prefix + "/system.reg");
    snapshot->user = loadFile(m_userCache, prefix + "/user.reg");
    snapshot->classes = snapshot->machine->find(kClasses);
    m_current = std::move(snapshot);
    return m_current;
}

std::optional<Registry::State::OpenKey> Registry::State::rootKey(HKEY key,
                                                                 std::shared_ptr<const Snapshot> snapshot) {
    const RegistryFile* file = nullptr;
    const RegistryKey* root = nullptr;
    switch (key) {
    case HKEY_LOCAL_MACHINE:
        file = snapshot->machine.get();
        root = &file->root();
        break;
    case HKEY_CURRENT_USER:
        file = snapshot->user.get();
        root = &file->root();
        break;
    case HKEY_CLASSES_ROOT:
        file = snapshot->machine.get();
        root = snapshot->classes;
        break;
    default:
        return std::nullopt;
    }
    return OpenKey{std::move(snapshot), file, root};
}

Registry::State::OpenKey* Registry::State::find(HKEY key) {
    if (key < kFirstHandle || (key - kFirstHandle) % 4 != 0)
        return nullptr;
    const auto slot = static_cast<std::size_t>((key - kFirstHandle) / 4);
    if (slot >= m_open.size() || !m_open[slot])
        return nullptr;
    return &*m_open[slot];
}

const RegistryKey* Registry::State::resolveFromRoot(HKEY root, const OpenKey& rootKey,
                                                    std::string_view path) {
    // A walk opens each key by its full path, depth first: the keys along the previous path are
    // kept, so that only the parts that differ are looked up again.
    if (m_lastRoot != root || m_lastSnapshot != rootKey.snapshot) {
        m_lastRoot = root;
        m_lastSnapshot = rootKey.snapshot;
        m_lastPath.clear();
        m_lastPathKnown = false;
    }
    std::size_t depth = 0;
    bool reusing = true;
    const RegistryKey* key = rootKey.key;
    std::size_t start = 0;
    // A key's own path again (its value read), or its path and a sub-key's name: the parts of
    // the previous path are known without comparing them one by one.
    if (m_lastPathKnown && path.starts_with(m_lastPathText) &&
        (path.size() == m_lastPathText.size() || path[m_lastPathText.size()] == '\\')) {
        depth = m_lastPathDepth;
        key = depth == 0 ? rootKey.key : m_lastPath[depth - 1].key;
        start = m_lastPathText.size();
    }
    m_lastPathKnown = false;
    while (start <= path.size()) {
        const std::size_t sep = std::min(path.find('\\', start), path.size());
        if (sep > start) {
            const std::string_view part = path.substr(start, sep - start);
            if (reusing && depth < m_lastPath.size() &&
                (m_lastPath[depth].key->name == part ||
                 equalsIgnoreCase(m_lastPath[depth].key->name, part))) {
                key = m_lastPath[depth].key;
            } else {
                // The sibling after the one at this depth last time is the likely one.
                std::size_t position = reusing && depth < m_lastPath.size() ? m_lastPath[depth].position
                                                                            : std::string_view::npos;
                reusing = false;
                m_lastPath.resize(depth);
                if (key == nullptr)
                    return nullptr;
                key = rootKey.file->child(*key, part, position);
                if (key == nullptr)
                    return nullptr;
                m_lastPath.push_back({key, position});
            }
            ++depth;
        }
        start = sep + 1;
    }
    m_lastPathText.assign(path);
    m_lastPathDepth = depth;
    m_lastPathKnown = true;
    return key;
}

std::int32_t Registry::RegOpenKeyEx(HKEY key, std::string_view subKey, std::uint32_t /*access*/,
                                    HKEY& result) {
    const std::lock_guard lock(m_state->m_mutex);
    result = 0;
    std::string converted;
    std::string_view path = subKey;
    if (!isAscii(subKey)) {
        converted = throughAnsi(subKey);
        path = converted;
    }

    State::OpenKey opened;
    if (const State::OpenKey* parent = m_state->find(key)) {
        opened = *parent;
        opened.key = opened.file->find(*parent->key, path);
    } else {
        if (key >= 0)
            return win32::InvalidHandle;
        auto root = State::rootKey(key, m_state->currentSnapshot());
        if (!root)
            return win32::InvalidHandle;
        opened = std::move(*root);
        opened.key = m_state->resolveFromRoot(key, opened, path);
    }
    if (opened.key == nullptr)
        return win32::FileNotFound;

    std::size_t slot = 0;
    while (slot < m_state->m_open.size() && m_state->m_open[slot])
        ++slot;
    if (slot == m_state->m_open.size())
        m_state->m_open.emplace_back();
    m_state->m_open[slot] = std::move(opened);
    ++m_state->m_openCount;
    result = kFirstHandle + static_cast<HKEY>(slot) * 4;
    return win32::Success;
}

std::optional<Registry::Contents> Registry::contentsOf(HKEY key) {
    const std::lock_guard lock(m_state->m_mutex);
    const State::OpenKey* open = m_state->find(key);
    if (open == nullptr)
        return std::nullopt;
    return Contents{open->snapshot->machine, open->snapshot->user};
}

std::int32_t Registry::RegCloseKey(HKEY key) {
    const std::lock_guard lock(m_state->m_mutex);
    if (key < 0 && (key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE))
        return win32::Success;
    if (m_state->find(key) == nullptr)
        return win32::InvalidHandle;
    m_state->m_open[static_cast<std::size_t>((key - kFirstHandle) / 4)].reset();
    --m_state->m_openCount;
    return win32::Success;
}

std::int32_t Registry::RegEnumKeyEx(HKEY key, std::uint32_t index, std::uint32_t nameCapacity,
                                    std::string& name, std::uint64_t* lastWriteTime) {
    const std::lock_guard lock(m_state->m_mutex);
    State::OpenKey* open = m_state->find(key);
    if (open == nullptr)
        return win32::InvalidHandle;
    const auto& children = open->key->children;
    if (index >= children.size())
        return win32::NoMoreItems;
    const RegistryKey* child = &open->file->key(children[index]);
    if (isAscii(child->name)) {
        if (child->name.size() >= nameCapacity)
            return win32::MoreData;
        name.assign(child->name);
    } else {
        const std::string ansi = utf8ToAnsi(child->name);
        if (ansi.size() >= nameCapacity)
            return win32::MoreData;
        name = ansiToUtf8(ansi);
    }
    if (lastWriteTime != nullptr)
        *lastWriteTime = child->lastWriteTime;
    return win32::Success;
}

std::int32_t Registry::RegQueryValueEx(HKEY key, std::string_view valueName, std::uint32_t& type,
                                       std::string& text, std::uint32_t& dataSize) {
    const std::lock_guard lock(m_state->m_mutex);
    State::OpenKey* open = m_state->find(key);
    if (open == nullptr)
        return win32::InvalidHandle;
    const RegistryValue* value = RegistryFile::value(*open->key, throughAnsi(valueName));
    if (value == nullptr)
        return win32::FileNotFound;
    type = value->type;
    text.clear();
    if (!isStringType(value->type) || !value->text) {
        dataSize = 0;
        return win32::Success;
    }
    const std::uint32_t capacity = dataSize;
    const std::string& stored = *value->text;
    const bool ascii = isAscii(stored);
    const std::size_t needed = (ascii ? stored.size() : utf8ToAnsi(stored).size()) + 1;
    dataSize = static_cast<std::uint32_t>(needed);
    if (needed > capacity)
        return win32::MoreData;
    if (ascii)
        text.assign(stored);
    else
        text = throughAnsi(stored);
    return win32::Success;
}

std::int32_t Registry::RegQueryInfoKey(HKEY key, std::uint64_t& lastWriteTime) {
    const std::lock_guard lock(m_state->m_mutex);
    const State::OpenKey* open = m_state->find(key);
    if (open == nullptr)
        return win32::InvalidHandle;
    lastWriteTime = open->key->lastWriteTime;
    return win32::Success;
}

std::size_t Registry::openKeyCount() const {
    const std::lock_guard lock(m_state->m_mutex);
    return m_state->m_openCount;
}

} // namespace pelorix
