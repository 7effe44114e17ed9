#pragma once

#include <string>
#include <string_view>

namespace pelorix {

// The conversions between the bytes of a code page and the program's UTF-8 text, for the readers
// of this folder: the code pages are the system's, so the platform layer provides them
// (codePages() in platform/CodePage.h), and a reader names the code page it needs by its encoding
// name ("CP932", "UTF-8" ...).
class TextEncodings {
public:
    virtual ~TextEncodings() = default;
    // The bytes as UTF-8 text; a byte the code page cannot read is kept (see platform/CodePage.h).
    virtual std::string decode(std::string_view encoding, std::string_view bytes) const = 0;
    // The text as bytes of the code page; a character it cannot hold is written as "?".
    virtual std::string encode(std::string_view encoding, std::string_view text) const = 0;
};

} // namespace pelorix
