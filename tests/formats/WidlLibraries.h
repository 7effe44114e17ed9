#pragma once

// The libraries widl compiled at build time from tests/data/formats/compat.idl: "compat.tlb" (the
// old version), "compat64.tlb" (the same for win64) and "compat-CHANGE.tlb" (one change each).

#include "formats/TypeLibContent.h"
#include "support/TestEnvironment.h"

#include <string>
#include <string_view>

#include <gtest/gtest.h>

namespace pelorix::test {

inline bool haveWidlLibraries() {
    return !std::string_view(PELORIX_WIDL_TYPELIBS).empty();
}

inline std::string widlLibraryPath(std::string_view name) {
    return std::string(PELORIX_WIDL_TYPELIBS) + "/" + std::string(name);
}

inline std::string widlLibraryBytes(std::string_view name) {
    return readFile(widlLibraryPath(name));
}

inline TypeLibrary widlLibrary(std::string_view name) {
    return readTypeLibrary(widlLibraryBytes(name));
}

} // namespace pelorix::test

#define PELORIX_SKIP_WITHOUT_WIDL()                                                                          \
    if (!pelorix::test::haveWidlLibraries())                                                                 \
    GTEST_SKIP() << "widl or Wine's stdole2.tlb was not found when the build was configured"
