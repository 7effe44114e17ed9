// Type-library files come from anywhere on the machine: whatever their bytes, the reader must
// answer without reading outside them, crashing or hanging.
#include "formats/TypeLibReader.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // Resource 1 is what most registrations name; 2 reaches a PE's further TYPELIB entries.
    for (const std::uint32_t id : {1u, 2u}) {
        const auto lib = pelorix::parseTypeLib(bytes, id);
        if (lib && lib->guid.size() != 38)
            __builtin_trap();
    }
    return 0;
}
