#include "platform/TypeLibRegistration.h"

#include "formats/XmlText.h"
#include "platform/RuntimeError.h"
#include "platform/Text.h"
#include "platform/TypeLibFile.h"

#include <algorithm>
#include <cstdio>

namespace pelorix {

namespace {

// The marshallers a registered interface names: the type library's and the dispatch one.
constexpr std::string_view TypeLibMarshaller = "{00020424-0000-0000-C000-000000000046}";
constexpr std::string_view DispatchMarshaller = "{00020420-0000-0000-C000-000000000046}";

// The UTF-16 code units of UTF-8 text (a byte that starts no UTF-8 sequence as U+FFFD).
std::u16string utf8ToUtf16(std::string_view text) {
    std::u16string units;
    for (std::size_t i = 0; i < text.size();) {
        char32_t c = 0;
        const std::size_t length = utf8At(text, i, c);
        if (length == 0)
            c = 0xFFFD;
        i += length == 0 ? 1 : length;
        if (c >= 0x10000) {
            units += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            units += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            units += static_cast<char16_t>(c);
        }
    }
    return units;
}

std::string hex(unsigned value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%x", value);
    return buffer;
}

std::string systemLeaf(std::uint16_t sysKind) {
    switch (sysKind) {
    case 0:
        return "win16";
    case 3:
        return "win64";
    default:
        return "win32";
    }
}

bool marshalledByOleAutomation(const TypeInfo& type) {
    return !type.guid.empty() &&
           (type.kind == TypeKind::Dispatch ||
            (type.kind == TypeKind::Interface && (type.flags & typeflag::OleAutomation) != 0));
}

void addInterface(TypeLibRegistrationKeys& keys, const TypeLibrary& library, const TypeInfo& type,
                  std::string_view view) {
    const std::string key = std::string(view) + "Interface\\" + toUpper(type.guid);
    const bool typeLibMarshalled = type.kind == TypeKind::Interface || (type.flags & typeflag::Dual) != 0;
    const std::string marshaller(typeLibMarshalled ? TypeLibMarshaller : DispatchMarshaller);
    keys.interfaceKeys.push_back(key);
    keys.values.push_back({key, "", type.name});
    keys.values.push_back({key + "\\ProxyStubClsid", "", marshaller});
    keys.values.push_back({key + "\\ProxyStubClsid32", "", marshaller});
    keys.values.push_back({key + "\\TypeLib", "", toUpper(library.guid)});
    keys.values.push_back(
        {key + "\\TypeLib", "Version", hex(library.majorVersion) + "." + hex(library.minorVersion)});
}

std::string folderOf(std::string_view path) {
    const auto slash = path.rfind('\\');
    return std::string(slash == std::string_view::npos ? path : path.substr(0, slash));
}

// A ".reg" string: "\" and "\"" escaped.
std::string regString(std::string_view text) {
    return "\"" + replaceAll(replaceAll(text, "\\", "\\\\"), "\"", "\\\"") + "\"";
}

// A value that a ".reg" string cannot hold (a line break, a control character) as hex(1): its
// UTF-16LE bytes with the terminating NUL.
std::string regData(std::string_view text) {
    if (std::none_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }))
        return regString(text);
    std::string out = "hex(1):";
    for (const char16_t unit : utf8ToUtf16(text)) {
        char buffer[8];
        std::snprintf(buffer, sizeof buffer, "%02x,%02x,", unit & 0xFF, unit >> 8);
        out += buffer;
    }
    return out + "00,00";
}

} // namespace

TypeLibRegistrationKeys typeLibRegistrationKeys(const TypeLibrary& library, std::string_view windowsPath,
                                                bool newHelpDir, bool wow64) {
    // A library without a GUID has no key of its own: the file would register nothing it names.
    if (library.guid.empty())
        throw RuntimeError(InvalidTypeLibFormat,
                           std::string(windowsPath) +
                               ": the type library has no GUID, so it cannot be registered");
    TypeLibRegistrationKeys keys;
    keys.libraryKey = "TypeLib\\" + toUpper(library.guid) + "\\" + hex(library.majorVersion) + "." +
                      hex(library.minorVersion);
    keys.localeKey = keys.libraryKey + "\\" + hex(library.lcid);
    keys.pathKey = keys.localeKey + "\\" + systemLeaf(library.sysKind);
    const std::string name = library.docString.empty() ? library.name : library.docString;
    if (!name.empty())
        keys.values.push_back({keys.libraryKey, "", name});
    keys.values.push_back({keys.pathKey, "", std::string(windowsPath)});
    // A library loaded from a file reports that it has one (LIBFLAG_FHASDISKIMAGE) besides its own flags.
    constexpr std::uint16_t HasDiskImage = 0x8;
    keys.values.push_back({keys.libraryKey + "\\FLAGS", "", std::to_string(library.flags | HasDiskImage)});
    if (newHelpDir)
        keys.values.push_back({keys.libraryKey + "\\HELPDIR", "", folderOf(windowsPath)});
    for (const TypeInfo& type : library.types) {
        if (!marshalledByOleAutomation(type))
            continue;
        addInterface(keys, library, type, "");
        if (wow64)
            addInterface(keys, library, type, "Wow6432Node\\");
    }
    return keys;
}

std::vector<std::string> typeLibUnregistrationKeys(const TypeLibRegistrationKeys& keys,
                                                   const ExistingKeys& existing) {
    std::vector<std::string> deleted = keys.interfaceKeys;
    deleted.push_back(keys.pathKey);
    const auto others = [&existing](std::string_view key, std::vector<std::string_view> gone) {
        const auto names = existing.subKeys(key);
        return names ? std::count_if(names->begin(), names->end(),
                                     [&gone](const std::string& name) {
                                         return std::none_of(gone.begin(), gone.end(),
                                                             [&name](std::string_view g) {
                                                                 return equalsIgnoreCase(name, g);
                                                             });
                                     })
                     : 0;
    };
    const std::string leaf = keys.pathKey.substr(keys.localeKey.size() + 1);
    if (others(keys.localeKey, {leaf}) != 0)
        return deleted;
    deleted.push_back(keys.localeKey);
    const std::string locale = keys.localeKey.substr(keys.libraryKey.size() + 1);
    if (others(keys.libraryKey, {locale, "FLAGS", "HELPDIR"}) != 0)
        return deleted;
    deleted.push_back(keys.libraryKey);
    const std::string guidKey = folderOf(keys.libraryKey);
    if (others(guidKey, {keys.libraryKey.substr(guidKey.size() + 1)}) == 0)
        deleted.push_back(guidKey);
    return deleted;
}

std::string utf16LittleEndianFile(std::string_view text) {
    std::string bytes = "\xFF\xFE";
    for (const char16_t unit : utf8ToUtf16(text)) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

std::string registryScript(std::string_view root, const std::vector<RegistrationValue>& values,
                           const std::vector<std::string>& deletedKeys) {
    std::string script = "Windows Registry Editor Version 5.00\r\n";
    for (const std::string& key : deletedKeys)
        script += "\r\n[-" + std::string(root) + "\\" + key + "]\r\n";
    std::string current;
    for (const RegistrationValue& value : values) {
        if (!equalsIgnoreCase(value.key, current) || current.empty()) {
            current = value.key;
            script += "\r\n[" + std::string(root) + "\\" + value.key + "]\r\n";
        }
        script += (value.name.empty() ? std::string("@") : regString(value.name)) + "=" +
                  regData(value.text) + "\r\n";
    }
    return script;
}

} // namespace pelorix
