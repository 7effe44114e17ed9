#include "formats/ByteSource.h"

#include <cstdio>

namespace pelorix {

std::string guidText(const unsigned char* g) {
    std::array<char, 40> text{};
    std::snprintf(text.data(), text.size(), "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(le32(&g[0])), static_cast<unsigned>(le16(&g[4])),
                  static_cast<unsigned>(le16(&g[6])), g[8], g[9], g[10], g[11], g[12], g[13], g[14], g[15]);
    return std::string(text.data());
}

} // namespace pelorix
