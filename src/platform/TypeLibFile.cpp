#include "platform/TypeLibFile.h"

#include "formats/ByteSource.h"
#include "platform/CDRegistryData.h"
#include "platform/CodePage.h"
#include "platform/DriveMap.h"
#include "platform/FileKind.h"
#include "platform/PositionedFile.h"
#include "platform/RunConditions.h"
#include "platform/RuntimeError.h"
#include "platform/Text.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <memory>

namespace pelorix {

namespace {

// Positioned reads on an open regular file: reading a file piece by piece touches only the few
// kilobytes a walk needs, even in a DLL of many megabytes.
class FileSource final : public ByteSource {
public:
    explicit FileSource(std::unique_ptr<PositionedFile> file) : m_file(std::move(file)) {}

    // Opens a regular file for reading; nothing for anything else (a FIFO must not block us, a
    // folder has no bytes).
    static std::optional<FileSource> open(const std::string& hostPath) {
        auto file = PositionedFile::open(hostPath);
        if (!file)
            return std::nullopt;
        return std::optional<FileSource>(std::in_place, std::move(file));
    }

    std::uint64_t size() const noexcept override { return m_file->size(); }
    bool read(std::uint64_t offset, std::size_t n, void* out) const override {
        if (offset > size() || n > size() - offset)
            return false;
        return m_file->read(offset, n, out);
    }

private:
    std::unique_ptr<PositionedFile> m_file;
};

bool isRegularFile(const std::string& hostPath) {
    return PositionedFile::open(hostPath) != nullptr;
}

// The resource id a trailing "\N" names, when the last component is a decimal number that fits a
// resource id.
std::optional<std::uint32_t> resourceSuffix(std::string_view path, std::size_t& cut) {
    const std::size_t slash = path.find_last_of('\\');
    if (slash == std::string_view::npos || slash == 0 || slash + 1 == path.size())
        return std::nullopt;
    const std::string_view digits = path.substr(slash + 1);
    if (digits.size() > 5)
        return std::nullopt;
    std::uint32_t id = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        id = id * 10 + static_cast<std::uint32_t>(c - '0');
    }
    if (id > 0xFFFF)
        return std::nullopt;
    cut = slash;
    return id;
}

// Registrations made through a final-path lookup carry a "\\?\" prefix ("\\?\UNC\" for shares).
std::string withoutLongPathPrefix(std::string_view path) {
    if (path.starts_with("\\\\?\\UNC\\"))
        return "\\\\" + std::string(path.substr(8));
    // "\\?\unix\" names a host path outside every drive: that prefix is part of the path.
    if (path.starts_with("\\\\?\\") && !startsWithIgnoreCase(path, "\\\\?\\unix\\"))
        return std::string(path.substr(4));
    return std::string(path);
}

// Why a path that locates no library cannot be read: missing, or no regular file.
RuntimeError unlocatedError(std::string_view windowsPath) {
    const HostFileKind kind = hostFileKind(hostPathOf(windowsPath));
    if (kind == HostFileKind::Missing)
        return RuntimeError(vberr::FileNotFound, std::string(windowsPath) + ": the file does not exist");
    return RuntimeError(vberr::PathFileAccess, std::string(windowsPath) + ": not a regular file: it is " +
                                                   std::string(hostFileKindText(kind)));
}

} // namespace

std::optional<TypeLibLocation> locateTypeLib(std::string_view windowsPath) {
    const std::string path = withoutLongPathPrefix(windowsPath);
    // A file that exists under the whole name is the file; only otherwise is a trailing number a
    // resource id.
    std::string host = hostPathOf(path);
    if (isRegularFile(host))
        return TypeLibLocation{std::move(host), 1};
    std::size_t cut = 0;
    const auto id = resourceSuffix(path, cut);
    if (!id)
        return std::nullopt;
    host = hostPathOf(std::string_view(path).substr(0, cut));
    if (!isRegularFile(host))
        return std::nullopt;
    return TypeLibLocation{std::move(host), *id};
}

std::optional<TypeLibAttributes> readTypeLibAttributes(std::string_view windowsPath) {
    const auto location = locateTypeLib(windowsPath);
    if (!location)
        return std::nullopt;
    const auto file = FileSource::open(location->hostPath);
    if (!file)
        return std::nullopt;
    return parseTypeLib(*file, location->resourceId);
}

namespace {

// The library at a Windows path, its texts decoded, its imports not looked at.
TypeLibrary readLibraryFile(std::string_view windowsPath) {
    const auto location = locateTypeLib(windowsPath);
    if (!location)
        throw unlocatedError(windowsPath);
    const auto file = FileSource::open(location->hostPath);
    if (!file)
        throw RuntimeError(vberr::PathFileAccess, std::string(windowsPath) + ": the file cannot be read");
    try {
        return readTypeLibrary(*file, location->resourceId,
                               [](std::string_view raw) { return ansiToUtf8(raw); });
    } catch (const TypeLibError& e) {
        throw RuntimeError(InvalidTypeLibFormat, std::string(windowsPath) + ": " + e.what());
    }
}

// The library registered for an import (its GUID and version, in any locale), or nothing when it is
// not registered or cannot be read.
std::optional<TypeLibrary> registeredLibrary(const TypeLibRegistrations& registrations,
                                             const ImportedLibrary& import) {
    std::array<char, 16> version{};
    std::snprintf(version.data(), version.size(), "%x.%x", static_cast<unsigned>(import.majorVersion),
                  static_cast<unsigned>(import.minorVersion));
    const std::string key = "TypeLib\\" + import.guid + "\\" + version.data() + "\\";
    for (std::size_t i = 0; i < registrations.keyPaths.size(); ++i) {
        if (!startsWithIgnoreCase(registrations.keyPaths[i], key) || registrations.libraryPaths[i].empty())
            continue;
        try {
            return readLibraryFile(registrations.libraryPaths[i]);
        } catch (const RuntimeError&) {
        }
    }
    return std::nullopt;
}

// Names the types of other libraries that the file leaves unnamed from those libraries where they
// are registered; the registrations are walked only when some type needs them.
void nameFromRegistrations(TypeLibrary& library) {
    const bool unnamed = std::any_of(library.externalTypes.begin(), library.externalTypes.end(),
                                     [](const ExternalType& e) { return e.name.empty(); });
    if (!unnamed || registryProblem())
        return;
    std::shared_ptr<const TypeLibRegistrations> registrations;
    try {
        registrations = CDRegistryData().registrations(HKEY_CLASSES_ROOT, "TypeLib");
    } catch (const RuntimeError&) {
        return; // the types stay named by their GUIDs
    }
    std::map<std::string, std::optional<TypeLibrary>> loaded;
    nameImportedTypes(library, [&](const ImportedLibrary& import) -> const TypeLibrary* {
        auto [it, added] = loaded.emplace(import.guid, std::nullopt);
        if (added)
            it->second = registeredLibrary(*registrations, import);
        return it->second ? &*it->second : nullptr;
    });
}

} // namespace

TypeLibrary readTypeLibContent(std::string_view windowsPath) {
    TypeLibrary library = readLibraryFile(windowsPath);
    nameFromRegistrations(library);
    return library;
}

} // namespace pelorix
