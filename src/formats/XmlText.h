#pragma once

#include <string>
#include <string_view>

namespace pelorix {

// Text as XML 1.0 character data or attribute value: markup characters escaped, line ends kept
// (in attributes as character references, which a reader gives back as they were), and what XML
// cannot hold (control characters, bytes that are no UTF-8) as U+FFFD.
std::string xmlText(std::string_view text, bool attribute);

// " name="value"" with the value escaped for an attribute.
std::string xmlAttribute(std::string_view name, std::string_view value);

} // namespace pelorix
