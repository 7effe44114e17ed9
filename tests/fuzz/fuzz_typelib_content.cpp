// Type-library files come from anywhere on the machine: whatever their bytes, reading the whole
// content must end with a library or TypeLibError, without reading outside the bytes, crashing or
// hanging; what it read must print, and compared with itself show no difference.
#include "formats/CompatReport.h"
#include "formats/TypeLibCompat.h"
#include "formats/TypeLibContent.h"
#include "formats/TypeLibText.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    try {
        const pelorix::TypeLibrary lib = pelorix::readTypeLibrary(bytes);
        if (pelorix::typeLibraryText(lib).empty())
            __builtin_trap();
        const auto differences = pelorix::compare(lib, lib);
        if (!differences.empty())
            __builtin_trap();
        (void)pelorix::compatJUnitXml(lib, lib, differences, "fuzz");
    } catch (const pelorix::TypeLibError&) {
    }
    return 0;
}
