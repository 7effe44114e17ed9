#pragma once

#include "formats/ByteSource.h"

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

// Reads the identity of the type library in a source. The format is told by the first bytes: an
// MSFT or SLTG type library, or the TYPELIB resource of a PE file (resource 1, or the id given).
// Nothing when the source cannot be read as a type library; never reads outside it, and reads of
// a file source touch only the few bytes the walk needs.
std::optional<TypeLibAttributes> parseTypeLib(const ByteSource& source, std::uint32_t resourceId = 1);

// The same on a file's bytes already in memory.
std::optional<TypeLibAttributes> parseTypeLib(std::string_view bytes, std::uint32_t resourceId = 1);

} // namespace pelorix
