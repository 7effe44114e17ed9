// Reference resolution: a type-library reference or component line of a project file is pointed
// at the newest registration of the same library file, found among the machine's type-library
// registrations by file path (references) or file name (components). Project files moved between
// systems whose Windows folder is "\WINNT" and "\WINDOWS" are handled by exchanging the names.
#include "platform/CCCommon.h"
#include "platform/ErrorLog.h"
#include "platform/FileSystemObject.h"
#include "platform/RuntimeError.h"
#include "platform/Text.h"
#include "platform/TypeLibFile.h"
#include "projectdata/CDFileData.h"
#include "projectdata/ProjectText.h"
#include "projectdata/RegistrationIndex.h"

#include <cstdio>

namespace pelorix {
namespace {

constexpr std::string_view ReferencePrefix = "Reference=*\\G";

// The fields of a line from its first "{" on, split at "#"; error 5 when the line has no "{".
std::vector<std::string> fieldsFromBrace(std::string_view line) {
    const auto brace = line.find('{');
    if (brace == std::string_view::npos)
        throw vberr::make(vberr::InvalidArgument);
    return split(line.substr(brace), '#');
}

const std::string& field(const std::vector<std::string>& fields, std::size_t index) {
    if (index >= fields.size())
        throw vberr::make(vberr::SubscriptOutOfRange);
    return fields[index];
}

// A path from a project file made absolute against the project's folder when it climbs out of it
// with ".."; any other path as written.
std::string resolveAgainstProjectFolder(std::string_view projectFilePath, std::string_view path,
                                        CCCommon& common) {
    if (!contains(path, ".."))
        return std::string(path);
    return common.fGetAbsolutePath(FileSystemObject::GetParentFolderName(projectFilePath) + "\\" +
                                   std::string(path));
}

// The key path of a registration a search found, or error 9 when the key paths are fewer.
const std::string& keyPathAt(const TypeLibRegistrations& registrations, std::int32_t index) {
    if (static_cast<std::size_t>(index) >= registrations.keyPaths.size())
        throw vberr::make(vberr::SubscriptOutOfRange);
    return registrations.keyPaths[static_cast<std::size_t>(index)];
}

// The identifier, version and locale of a registration, joined by "#".
std::string registrationCode(std::string_view keyPath) {
    const std::string hashed = replaceAll(keyPath, "\\", "#");
    const auto first = hashed.find('#');
    return first == std::string::npos ? std::string() : hashed.substr(first + 1);
}

// The first n characters of a replaced by d (the drive of the Windows folder).
std::string replaceLeadingChars(std::string_view a, std::string_view d) {
    return std::string(d) + std::string(skipChars(a, charCount(d)));
}

// Points a library path at this system's Windows folder when it names the other one.
std::string fixWindowsFolder(std::string a, std::string_view windowsFolder, CCCommon& common) {
    if (windowsFolder.empty())
        return a; // no Windows folder known: nothing to exchange it with
    const std::string drive = common.fGetDriveName(windowsFolder);
    const std::string upper = toUpper(a);
    // The "\WINDOWS" test is made whenever the "\WINNT" one does not apply, also when the path
    // names "\WINNT" and that is this system's own folder.
    for (const std::string_view folder : {std::string_view("\\WINNT"), std::string_view("\\WINDOWS")}) {
        const std::string driveFolder = drive + std::string(folder);
        if (!contains(upper, folder) || driveFolder == windowsFolder)
            continue;
        a = replaceLeadingChars(a, drive);
        return replaceAll(a, driveFolder, windowsFolder);
    }
    return a;
}

// Exchanges "\WINNT\" and "\WINDOWS\" in the path part of a line to match the Windows folder.
std::string exchangeWindowsFolder(std::string tail, std::string_view windowsFolder) {
    const std::string upperTail = toUpper(tail);
    const std::string upperFolder = toUpper(windowsFolder);
    if (contains(upperTail, "\\WINNT\\") && contains(upperFolder, "\\WINDOWS"))
        return replaceAll(tail, "\\WINNT\\", "\\WINDOWS\\");
    if (contains(upperTail, "\\WINDOWS\\") && contains(upperFolder, "\\WINNT"))
        return replaceAll(tail, "\\WINDOWS\\", "\\WINNT\\");
    return tail;
}

// The text after the locale field: the third "#" counted from the first "{". The library path
// and the description stay whole even when the description itself holds "#".
std::string_view tailAfterLocale(std::string_view line) {
    std::size_t pos = line.find('{');
    for (int i = 0; i < 3; ++i) {
        pos = line.find('#', pos);
        if (pos == std::string_view::npos)
            throw vberr::make(vberr::SubscriptOutOfRange);
        ++pos;
    }
    return line.substr(pos);
}

// Lower-case hexadecimal of a minor version, as type-library versions are written.
std::string hexLower(unsigned value) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "%x", value);
    return buffer;
}

} // namespace

const RegistrationIndex& CDFileData::collectRegistrations() {
    auto walked = m_registrationSource ? std::make_shared<const TypeLibRegistrations>(m_registrationSource())
                                       : m_objRegistryData.registrations(HKEY_CLASSES_ROOT, "TypeLib");
    if (m_objRegistrationIndex == nullptr || &m_objRegistrationIndex->registrations() != walked.get())
        m_objRegistrationIndex = std::make_shared<const RegistrationIndex>(std::move(walked));
    return *m_objRegistrationIndex;
}

ReferenceLookup CDFileData::lookUpReference(std::string_view projectFilePath, std::string_view line,
                                            const RegistrationIndex& registrations,
                                            std::string_view windowsFolder) {
    const auto fields = fieldsFromBrace(line);
    const std::string& libraryField = field(fields, 3);

    CCCommon common;
    std::string absolute = resolveAgainstProjectFolder(projectFilePath, libraryField, common);
    // A relative library missing on the project's drive may be at the same place on another.
    if (contains(libraryField, "..") && !common.fCheckPath(absolute, vbNormal)) {
        const std::string rest = common.fPathSkipRoot(absolute);
        if (!rest.empty()) {
            std::string found;
            absolute = pAppendDrivePath(rest, found) ? found : libraryField;
        }
    }
    ReferenceLookup lookup;
    lookup.libraryPath = fixWindowsFolder(std::move(absolute), windowsFolder, common);
    lookup.registration = pSearchLastWriteData(lookup.libraryPath, registrations);
    const auto& paths = registrations.registrations().libraryPaths;
    if (lookup.registration >= 0 && static_cast<std::size_t>(lookup.registration) < paths.size())
        lookup.registeredPath = paths[static_cast<std::size_t>(lookup.registration)];
    return lookup;
}

ReferenceLookup CDFileData::fLookUpReference(std::string_view projectFilePath, std::string_view line,
                                             std::string_view windowsFolder) {
    return guard("fLookUpReference", [&] {
        return lookUpReference(projectFilePath, line, collectRegistrations(), windowsFolder);
    });
}

std::string CDFileData::pGetNewReferenceByLastWriteTime(std::string_view projectFilePath,
                                                        std::string_view line,
                                                        const RegistrationIndex& registrations,
                                                        std::string_view windowsFolder) {
    return guard("pGetNewReferenceByLastWriteTime", [&] {
        if (!contains(line, "{"))
            return std::string();
        const ReferenceLookup lookup = lookUpReference(projectFilePath, line, registrations, windowsFolder);
        if (lookup.registration == -1)
            return std::string();
        const std::string& keyPath = keyPathAt(registrations.registrations(), lookup.registration);
        const std::string tail = exchangeWindowsFolder(std::string(tailAfterLocale(line)), windowsFolder);
        return std::string(ReferencePrefix) + registrationCode(keyPath) + "#" + tail;
    });
}

std::string CDFileData::pGetNewReferenceByTypeLibInfo(std::string_view projectFilePath, std::string_view line,
                                                      bool logMissingFile) {
    return guard("pGetNewReferenceByTypeLibInfo", [&] {
        std::string libraryPath;
        try {
            auto fields = fieldsFromBrace(line);
            const std::string& libraryField = field(fields, 3);
            CCCommon common;
            libraryPath = resolveAgainstProjectFolder(projectFilePath, libraryField, common);
            if (!FileSystemObject().FileExists(libraryPath)) {
                if (logMissingFile)
                    WriteErrorLog(0, "参照設定:「" + libraryPath + "」" + "ファイルが見つかりません。",
                                  "pGetNewReferenceByTypeLibInfo", ModuleName(), ErrorLevel::Error, false);
                return std::string();
            }
            if (const auto attributes = readTypeLibAttributes(libraryPath)) {
                fields[0] = attributes->guid;
                fields[1] =
                    std::to_string(attributes->majorVersion) + "." + hexLower(attributes->minorVersion);
            }
            std::string result(ReferencePrefix);
            for (std::size_t i = 0; i < fields.size(); ++i) {
                if (i > 0)
                    result += '#';
                result += fields[i];
            }
            return result;
        } catch (...) {
            // The log and the caller see which library the failure concerns.
            const RuntimeError error = currentAsRuntimeError();
            throw RuntimeError(error.number(), error.description() + "[" + libraryPath + "]", error.source());
        }
    });
}

ComponentLookup CDFileData::lookUpComponent(std::string_view projectFilePath, std::string_view line,
                                            const RegistrationIndex& registrations) {
    ComponentLookup lookup;
    if (!contains(line, "{"))
        return lookup;
    const auto fields = fieldsFromBrace(line);
    const std::string& localeAndFile = field(fields, 2);
    const auto semicolon = localeAndFile.find(';');
    if (semicolon == std::string::npos)
        return lookup;
    const std::string_view fileName = trimSpaces(std::string_view(localeAndFile).substr(semicolon + 1));
    if (fileName.empty())
        return lookup;
    CCCommon common;
    lookup.fileName = resolveAgainstProjectFolder(projectFilePath, fileName, common);
    lookup.registration = pSearchComponentLastWriteData(lookup.fileName, registrations);
    const auto& paths = registrations.registrations().libraryPaths;
    if (lookup.registration >= 0 && static_cast<std::size_t>(lookup.registration) < paths.size())
        lookup.registeredPath = paths[static_cast<std::size_t>(lookup.registration)];
    return lookup;
}

ComponentLookup CDFileData::fLookUpComponent(std::string_view projectFilePath, std::string_view line) {
    return guard("fLookUpComponent",
                 [&] { return lookUpComponent(projectFilePath, line, collectRegistrations()); });
}

std::string CDFileData::pGetNewComponentByLastWriteTime(std::string_view projectFilePath,
                                                        std::string_view line,
                                                        const RegistrationIndex& registrations,
                                                        std::string_view windowsFolder) {
    return guard("pGetNewComponentByLastWriteTime", [&] {
        const ComponentLookup lookup = lookUpComponent(projectFilePath, line, registrations);
        if (lookup.registration == -1)
            return std::string();
        const std::string& keyPath = keyPathAt(registrations.registrations(), lookup.registration);
        const std::string tail =
            exchangeWindowsFolder(std::string(line.substr(line.rfind(';') + 1)), windowsFolder);
        return "Object=" + registrationCode(keyPath) + ";" + tail;
    });
}

std::int32_t CDFileData::pSearchLastWriteData(std::string_view libraryPath,
                                              const RegistrationIndex& registrations) {
    return guard("pSearchLastWriteData", [&] { return registrations.newestOfLibrary(libraryPath); });
}

std::int32_t CDFileData::pSearchComponentLastWriteData(std::string_view fileName,
                                                       const RegistrationIndex& registrations) {
    return guard("pSearchComponentLastWriteData", [&] { return registrations.newestContaining(fileName); });
}

bool CDFileData::pAppendDrivePath(std::string_view pathWithoutDrive, std::string& foundPath) {
    return guard("pAppendDrivePath", [&] {
        CCCommon common;
        std::vector<std::string> drives;
        if (common.fEnumDrivePath(drives) == 0)
            return false;
        std::string rest(pathWithoutDrive);
        if (!rest.starts_with('\\'))
            rest.insert(rest.begin(), '\\');
        for (const auto& drive : drives) {
            std::string candidate = drive + rest;
            if (common.fCheckPath(candidate, vbNormal)) {
                foundPath = std::move(candidate);
                return true;
            }
        }
        return false;
    });
}

} // namespace pelorix
