#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pelorix {

// The length of the well-formed UTF-8 sequence at text[i] and its code point; 0 when none starts
// there (overlong forms, surrogates and values past U+10FFFF are not well-formed).
std::size_t utf8At(std::string_view text, std::size_t i, char32_t& c) noexcept;

// Text as XML 1.0 character data or attribute value: markup characters escaped, line ends kept
// (in attributes as character references, which a reader gives back as they were), and what XML
// cannot hold (control characters, bytes that are no UTF-8) as U+FFFD.
std::string xmlText(std::string_view text, bool attribute);

// " name="value"" with the value escaped for an attribute.
std::string xmlAttribute(std::string_view name, std::string_view value);

} // namespace pelorix
