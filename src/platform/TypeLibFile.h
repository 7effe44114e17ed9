#pragma once

#include "formats/TypeLibContent.h"
#include "formats/TypeLibReader.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pelorix {

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

// The run-time error "invalid file format": a file that holds no type library, or a damaged one.
inline constexpr std::int32_t InvalidTypeLibFormat = 321;

// The whole content of the type library at a Windows path, its names and texts decoded from the
// ANSI code page. Types of other libraries are named from those libraries where they are
// registered (their GUID and version under HKEY_CLASSES_ROOT\TypeLib). Raises a run-time error naming the
// path and the cause: 53 when the file does not exist, 75 when it is no regular file or cannot be read, 321
// when it holds no type library or a damaged one.
TypeLibrary readTypeLibContent(std::string_view windowsPath);

} // namespace pelorix
