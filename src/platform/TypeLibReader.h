#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pelorix {

// What the program needs to know of a type library: its identity and version.
struct TypeLibAttributes {
    std::string guid; // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case hex
    std::uint16_t majorVersion = 0;
    std::uint16_t minorVersion = 0;
};

// Where the library of a Windows path lives: the host file and the TYPELIB resource id to use
// when the file is a PE file. A path whose whole name is no file but which ends in "\N" (a
// decimal number) names resource N of the file before it; otherwise the id is 1. A leading
// "\\?\" is ignored. Nothing when no such regular file exists.
struct TypeLibLocation {
    std::string hostPath;
    std::uint32_t resourceId = 1;
};
std::optional<TypeLibLocation> locateTypeLib(std::string_view windowsPath);

// Reads the type library at a Windows path (on Linux mapped through the prefix's drives). The format is
// told by the file's first bytes: an MSFT or SLTG type library, or the TYPELIB resource of a PE
// file (resource 1, or N when the path ends in "\N"). Nothing when the file cannot be read as a
// type library; never reads outside the file.
std::optional<TypeLibAttributes> readTypeLibAttributes(std::string_view windowsPath);

// The same on a file's bytes already in memory.
std::optional<TypeLibAttributes> parseTypeLib(std::string_view bytes, std::uint32_t resourceId = 1);

} // namespace pelorix
