#include "platform/DriveMap.h"

#include "platform/Text.h"
#include "platform/linux/WinePrefix.h"

#include <algorithm>
#include <dirent.h>
#include <filesystem>
#include <mutex>
#include <sys/stat.h>
#include <system_error>

namespace pelorix {
namespace fs = std::filesystem;

namespace {

bool isDriveLetter(char c) noexcept {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isSeparator(char c) noexcept {
    return c == '\\' || c == '/';
}

// How Wine writes a host path that no drive reaches: "\\?\unix\etc\passwd".
constexpr std::string_view kUnixPrefix = "\\\\?\\unix\\";

std::string canonicalFolder(const fs::path& p) {
    std::error_code ec;
    fs::path c = fs::weakly_canonical(p, ec);
    if (ec)
        c = p.lexically_normal();
    std::string s = c.string();
    while (s.size() > 1 && s.back() == '/')
        s.pop_back();
    return s;
}

bool isDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// The entry of folder whose name equals name without regard to ASCII case, if any.
std::optional<std::string> findEntryIgnoreCase(const std::string& folder, std::string_view name) {
    DIR* dir = ::opendir(folder.empty() ? "/" : folder.c_str());
    if (dir == nullptr)
        return std::nullopt;
    std::optional<std::string> found;
    while (const dirent* entry = ::readdir(dir)) {
        if (equalsIgnoreCase(entry->d_name, name)) {
            found = entry->d_name;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

std::string joinHost(const std::string& folder, std::string_view name) {
    std::string out = folder;
    if (out.empty() || out.back() != '/')
        out += '/';
    out += name;
    return out;
}

// dosdevices/ is read again only when it changes.
struct CacheEntry {
    std::string prefix;
    struct timespec mtime {};
    std::shared_ptr<const DriveMap> map;
};

} // namespace

DriveMap::DriveMap() {
    const fs::path devices = fs::path(winePrefix()) / "dosdevices";
    std::error_code ec;
    fs::directory_iterator it(devices, ec);
    // Without a prefix Z: is the host's root folder, as in a default prefix. A prefix's own
    // drives are exactly its links: one whose z: was removed has no Z:, as Wine sees it.
    const bool havePrefix = !ec;
    for (fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() != 2 || name[1] != ':' || !isDriveLetter(name[0]))
            continue;
        std::error_code linkEc;
        fs::path target = fs::read_symlink(it->path(), linkEc);
        if (linkEc)
            target = it->path();
        else if (target.is_relative())
            target = devices / target;
        m_drives.push_back({std::string(1, toUpperAscii(name[0])) + ":", canonicalFolder(target)});
    }
    if (!havePrefix)
        m_drives.push_back({"Z:", "/"});
    std::sort(m_drives.begin(), m_drives.end(),
              [](const Drive& a, const Drive& b) { return a.letter < b.letter; });
    if (const Drive* c = findDrive('C'))
        m_wow64 = isDirectory(joinHost(c->hostFolder, "windows/syswow64"));
}

std::shared_ptr<const DriveMap> DriveMap::currentShared() {
    static std::mutex mutex;
    static CacheEntry cache;
    const std::string prefix = winePrefix();
    struct stat st {};
    const std::string devices = prefix + "/dosdevices";
    const bool haveDevices = ::stat(devices.c_str(), &st) == 0;
    std::lock_guard lock(mutex);
    if (cache.map && cache.prefix == prefix && haveDevices && cache.mtime.tv_sec == st.st_mtim.tv_sec &&
        cache.mtime.tv_nsec == st.st_mtim.tv_nsec)
        return cache.map;
    cache.prefix = prefix;
    cache.mtime = haveDevices ? st.st_mtim : timespec{};
    cache.map = std::make_shared<const DriveMap>();
    return cache.map;
}

const DriveMap& DriveMap::current() {
    // Kept alive for the calling thread until the next call replaces it.
    thread_local std::shared_ptr<const DriveMap> held;
    held = currentShared();
    return *held;
}

namespace {

// The components of a path below its drive: "." and empty ones left out, ".." taking back the one
// before it (never above the drive's root).
std::vector<std::string> normalizedParts(std::string_view rest) {
    std::vector<std::string> parts;
    std::size_t pos = 0;
    while (pos <= rest.size()) {
        std::size_t end = pos;
        while (end < rest.size() && !isSeparator(rest[end]))
            ++end;
        const std::string_view part = rest.substr(pos, end - pos);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.emplace_back(part);
        }
        pos = end + 1;
    }
    return parts;
}

// The host path of the components below a host folder: each component that does not exist with
// its exact name takes the entry that matches it without regard to case; from the first that
// matches nothing on, the components are kept as written.
std::string resolveParts(std::string host, const std::vector<std::string>& parts) {
    bool resolving = true;
    for (const std::string& part : parts) {
        if (resolving) {
            std::string exact = joinHost(host, part);
            if (exists(exact)) {
                host = std::move(exact);
                continue;
            }
            if (auto entry = findEntryIgnoreCase(host, part)) {
                host = joinHost(host, *entry);
                continue;
            }
            resolving = false;
        }
        host = joinHost(host, part);
    }
    return host;
}

} // namespace

std::optional<std::string> DriveMap::toHost(std::string_view path) const {
    if (startsWithIgnoreCase(path, "\\\\?\\UNC\\"))
        return std::nullopt;
    // A host path outside every drive, in the form Wine gives it.
    if (startsWithIgnoreCase(path, kUnixPrefix)) {
        std::string host = "/";
        host += path.substr(kUnixPrefix.size());
        std::replace(host.begin(), host.end(), '\\', '/');
        return fs::path(host).lexically_normal().string();
    }
    if (path.starts_with("\\\\?\\") || path.starts_with("\\??\\"))
        path.remove_prefix(4);
    if (path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1]))
        return std::nullopt; // network paths have no host form here

    std::string host;
    std::string_view rest;
    bool onSystemDrive = false;
    if (path.size() >= 2 && path[1] == ':' && isDriveLetter(path[0])) {
        const Drive* drive = findDrive(path[0]);
        if (drive == nullptr)
            return std::nullopt;
        host = drive->hostFolder;
        onSystemDrive = drive->letter == "C:";
        rest = path.substr(2);
    } else {
        std::error_code ec;
        host = isSeparator(path.empty() ? 'x' : path[0]) ? std::string("/") : fs::current_path(ec).string();
        rest = path;
    }

    std::vector<std::string> parts = normalizedParts(rest);
    if (m_wow64 && onSystemDrive && parts.size() >= 2 && equalsIgnoreCase(parts[0], "windows") &&
        equalsIgnoreCase(parts[1], "system32"))
        parts[1] = "syswow64";
    return resolveParts(std::move(host), parts);
}

std::string DriveMap::toWindows(std::string_view hostPath) const {
    std::error_code ec;
    fs::path p(hostPath);
    if (p.is_relative())
        p = fs::current_path(ec) / p;
    const std::string canonical = canonicalFolder(p);

    const Drive* best = nullptr;
    for (const Drive& d : m_drives) {
        const std::string& root = d.hostFolder;
        const bool matches =
            root == "/" || canonical == root ||
            (canonical.size() > root.size() && canonical.starts_with(root) && canonical[root.size()] == '/');
        if (matches && (best == nullptr || root.size() > best->hostFolder.size()))
            best = &d;
    }
    // Outside every drive the path keeps its host form behind Wine's "\\?\unix" prefix.
    const std::size_t skip = best == nullptr || best->hostFolder == "/" ? 0 : best->hostFolder.size();
    std::string windows =
        best == nullptr ? std::string(kUnixPrefix.substr(0, kUnixPrefix.size() - 1)) : best->letter;
    windows.reserve(windows.size() + canonical.size() - skip + 1);
    for (std::size_t i = skip; i < canonical.size(); ++i)
        windows += canonical[i] == '/' ? '\\' : canonical[i];
    if (windows.size() == 2)
        windows += '\\';
    return windows;
}

std::string hostPathOf(std::string_view windowsPath) {
    return DriveMap::current().toHost(windowsPath).value_or(std::string());
}

} // namespace pelorix
