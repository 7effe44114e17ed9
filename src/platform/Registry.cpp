#include "platform/Registry.h"

#include "platform/CodePage.h"
#include "platform/Environment.h"
#include "platform/ErrorLog.h"
#include "platform/Text.h"
#include "platform/TimeFormat.h"
#include "platform/UniqueFd.h"
#include "platform/Win32Error.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pelorix {

struct Registry::Snapshot {
    std::shared_ptr<const RegistryFile> machine;
    std::shared_ptr<const RegistryFile> user;
};

namespace {

constexpr HKEY kFirstHandle = 0x40;
constexpr std::string_view kClasses = "Software\\Classes";

std::shared_ptr<const RegistryFile> emptyFile() {
    static const auto empty = std::make_shared<const RegistryFile>();
    return empty;
}

std::optional<std::string> readAll(int fd, std::size_t expected) {
    std::string bytes;
    bytes.resize(expected);
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

std::size_t ansiSize(std::string_view text) {
    return isAscii(text) ? text.size() : utf8ToAnsi(text).size();
}

bool isStringType(std::uint32_t type) {
    return type == regtype::Sz || type == regtype::ExpandSz || type == regtype::MultiSz;
}

} // namespace

Registry& Registry::process() {
    static Registry registry;
    return registry;
}

std::shared_ptr<const RegistryFile> Registry::loadFile(CachedFile& cache, const std::string& hostPath) {
    const UniqueFd fd(::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC));
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

void Registry::logIfNotRegistry(const CachedFile& cache) {
    if (cache.notRegistry)
        WriteErrorLog(0, "Not a Wine registry file, read as an empty registry: " + cache.hostPath,
                      "RegOpenKeyEx", "Registry", ErrorLevel::Error, false);
}

std::shared_ptr<const Registry::Snapshot> Registry::currentSnapshot() {
    if (m_current != nullptr && m_openCount > 0)
        return m_current;
    const std::string prefix = winePrefix();
    auto snapshot = std::make_shared<Snapshot>();
    snapshot->machine = loadFile(m_machineCache, prefix + "/system.reg");
    snapshot->user = loadFile(m_userCache, prefix + "/user.reg");
    m_current = std::move(snapshot);
    return m_current;
}

std::optional<Registry::View> Registry::rootView(HKEY key,
                                                 const std::shared_ptr<const Snapshot>& snapshot) const {
    const RegistryFile& machine = *snapshot->machine;
    const RegistryFile& user = *snapshot->user;
    switch (key) {
    case HKEY_LOCAL_MACHINE:
        return View{Node{&machine, &machine.root()}, Node{}};
    case HKEY_CURRENT_USER:
        return View{Node{&user, &user.root()}, Node{}};
    case HKEY_CLASSES_ROOT: {
        const Node userClasses{&user, user.find(kClasses)};
        const Node machineClasses{&machine, machine.find(kClasses)};
        if (userClasses && machineClasses)
            return View{userClasses, machineClasses};
        return View{userClasses ? userClasses : machineClasses, Node{}};
    }
    default:
        return std::nullopt;
    }
}

Registry::View Registry::childView(const View& parent, std::string_view name) {
    auto childOf = [&](const Node& node) {
        return node ? Node{node.file, node.file->child(*node.key, name)} : Node{};
    };
    const Node primary = childOf(parent.primary);
    const Node secondary = childOf(parent.secondary);
    if (primary && secondary)
        return View{primary, secondary};
    return View{primary ? primary : secondary, Node{}};
}

const std::vector<Registry::View>& Registry::children(OpenKey& open) const {
    if (open.mergedChildren)
        return *open.mergedChildren;
    // Both halves are sorted by folded name: merge them, the user's key winning a tie.
    std::vector<View> merged;
    const Node& a = open.view.primary;
    const Node& b = open.view.secondary;
    const auto& ca = a.key->children;
    const auto& cb = b.key->children;
    merged.reserve(ca.size() + cb.size());
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < ca.size() || j < cb.size()) {
        const RegistryKey* ka = i < ca.size() ? &a.file->key(ca[i]) : nullptr;
        const RegistryKey* kb = j < cb.size() ? &b.file->key(cb[j]) : nullptr;
        if (ka != nullptr && kb != nullptr && ka->foldedName == kb->foldedName) {
            merged.push_back(View{Node{a.file, ka}, Node{b.file, kb}});
            ++i;
            ++j;
        } else if (kb == nullptr || (ka != nullptr && ka->foldedName < kb->foldedName)) {
            merged.push_back(View{Node{a.file, ka}, Node{}});
            ++i;
        } else {
            merged.push_back(View{Node{b.file, kb}, Node{}});
            ++j;
        }
    }
    open.mergedChildren = std::move(merged);
    return *open.mergedChildren;
}

Registry::OpenKey* Registry::find(HKEY key) {
    if (key < kFirstHandle || (key - kFirstHandle) % 4 != 0)
        return nullptr;
    const auto slot = static_cast<std::size_t>((key - kFirstHandle) / 4);
    if (slot >= m_open.size() || !m_open[slot])
        return nullptr;
    return &*m_open[slot];
}

std::optional<Registry::View> Registry::resolveFromRoot(HKEY root,
                                                        const std::shared_ptr<const Snapshot>& snapshot,
                                                        const View& rootKey, std::string_view path) {
    // A walk opens each key by its full path, depth first: the keys along the previous path are
    // kept, so that only the parts that differ are looked up again.
    if (m_lastRoot != root || m_lastSnapshot != snapshot) {
        m_lastRoot = root;
        m_lastSnapshot = snapshot;
        m_lastPath.clear();
    }
    std::size_t depth = 0;
    bool reusing = true;
    View view = rootKey;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t sep = std::min(path.find('\\', start), path.size());
        if (sep > start) {
            const std::string_view part = path.substr(start, sep - start);
            if (reusing && depth < m_lastPath.size() && equalsIgnoreCase(m_lastPath[depth].folded, part)) {
                view = m_lastPath[depth].view;
            } else {
                // The sibling after the one at this depth last time is the likely one.
                std::size_t position =
                    depth < m_lastPath.size() ? m_lastPath[depth].position : std::string_view::npos;
                if (!reusing)
                    position = std::string_view::npos;
                reusing = false;
                m_lastPath.resize(depth);
                if (!view.primary)
                    return std::nullopt;
                if (!view.secondary) {
                    const Node parent = view.primary;
                    view = View{Node{parent.file, parent.file->child(*parent.key, part, position)}, Node{}};
                } else {
                    view = childView(view, part);
                    position = std::string_view::npos;
                }
                if (!view.primary)
                    return std::nullopt;
                m_lastPath.push_back({foldRegistryName(part), view, position});
            }
            ++depth;
        }
        start = sep + 1;
    }
    return view;
}

std::int32_t Registry::RegOpenKeyEx(HKEY key, std::string_view subKey, std::uint32_t /*access*/,
                                    HKEY& result) {
    const std::lock_guard lock(m_mutex);
    result = 0;
    std::string converted;
    std::string_view path = subKey;
    if (!isAscii(subKey)) {
        converted = throughAnsi(subKey);
        path = converted;
    }

    std::shared_ptr<const Snapshot> snapshot;
    View view;
    if (OpenKey* parent = find(key)) {
        snapshot = parent->snapshot;
        view = parent->view;
        std::size_t start = 0;
        while (start <= path.size()) {
            const std::size_t sep = std::min(path.find('\\', start), path.size());
            if (sep > start) {
                view = childView(view, path.substr(start, sep - start));
                if (!view.primary)
                    return win32::FileNotFound;
            }
            start = sep + 1;
        }
    } else {
        if (key >= 0)
            return win32::InvalidHandle;
        snapshot = currentSnapshot();
        const auto root = rootView(key, snapshot);
        if (!root)
            return win32::InvalidHandle;
        const auto resolved = resolveFromRoot(key, snapshot, *root, path);
        if (!resolved)
            return win32::FileNotFound;
        view = *resolved;
    }
    if (!view.primary)
        return win32::FileNotFound;

    std::size_t slot = 0;
    while (slot < m_open.size() && m_open[slot])
        ++slot;
    if (slot == m_open.size())
        m_open.emplace_back();
    m_open[slot] = OpenKey{std::move(snapshot), view, std::nullopt};
    ++m_openCount;
    result = kFirstHandle + static_cast<HKEY>(slot) * 4;
    return win32::Success;
}

std::optional<Registry::Contents> Registry::contentsOf(HKEY key) {
    const std::lock_guard lock(m_mutex);
    const OpenKey* open = find(key);
    if (open == nullptr)
        return std::nullopt;
    return Contents{open->snapshot->machine, open->snapshot->user};
}

std::int32_t Registry::RegCloseKey(HKEY key) {
    const std::lock_guard lock(m_mutex);
    if (key < 0 && (key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE))
        return win32::Success;
    if (find(key) == nullptr)
        return win32::InvalidHandle;
    m_open[static_cast<std::size_t>((key - kFirstHandle) / 4)].reset();
    --m_openCount;
    return win32::Success;
}

std::int32_t Registry::RegEnumKeyEx(HKEY key, std::uint32_t index, std::uint32_t nameCapacity,
                                    std::string& name, std::uint64_t* lastWriteTime) {
    const std::lock_guard lock(m_mutex);
    OpenKey* open = find(key);
    if (open == nullptr)
        return win32::InvalidHandle;
    const RegistryKey* child = nullptr;
    if (!open->view.secondary) {
        const auto& list = open->view.primary.key->children;
        if (index >= list.size())
            return win32::NoMoreItems;
        child = &open->view.primary.file->key(list[index]);
    } else {
        const auto& list = children(*open);
        if (index >= list.size())
            return win32::NoMoreItems;
        child = list[index].primary.key;
    }
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
    const std::lock_guard lock(m_mutex);
    OpenKey* open = find(key);
    if (open == nullptr)
        return win32::InvalidHandle;
    const RegistryValue* value = RegistryFile::value(*open->view.primary.key, throughAnsi(valueName));
    if (value == nullptr)
        return win32::FileNotFound;
    type = value->type;
    text.clear();
    if (!isStringType(value->type) || !value->text) {
        dataSize = 0;
        return win32::Success;
    }
    const std::uint32_t capacity = dataSize;
    const std::size_t needed = ansiSize(*value->text) + 1;
    dataSize = static_cast<std::uint32_t>(needed);
    if (needed > capacity)
        return win32::MoreData;
    text = throughAnsi(*value->text);
    return win32::Success;
}

std::int32_t Registry::RegQueryInfoKey(HKEY key, std::uint64_t& lastWriteTime) {
    const std::lock_guard lock(m_mutex);
    const OpenKey* open = find(key);
    if (open == nullptr)
        return win32::InvalidHandle;
    lastWriteTime = open->view.primary.key->lastWriteTime;
    return win32::Success;
}

std::size_t Registry::openKeyCount() const {
    const std::lock_guard lock(m_mutex);
    return m_openCount;
}

std::string normalizeLibraryPath(std::string_view path) {
    if (startsWithIgnoreCase(path, "\\\\?\\UNC\\"))
        return "\\\\" + std::string(path.substr(8));
    // "\\?\unix\" names a host path outside every drive: that prefix is part of the path.
    if (path.starts_with("\\\\?\\") && !startsWithIgnoreCase(path, "\\\\?\\unix\\"))
        return std::string(path.substr(4));
    return std::string(path);
}

} // namespace pelorix
