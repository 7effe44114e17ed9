#pragma once

#include "formats/ByteSource.h"

#include <cstdint>
#include <optional>
#include <string>

namespace pelorix {

// Where a type library's data lies in a file: the TYPELIB resource with the given id when the file
// is a PE file ("MZ"), else the whole file. Nothing when a PE file has no such resource or its
// headers or resource tree are damaged; then why says what was missing or broken.
std::optional<Window> typeLibData(const ByteSource& source, std::uint32_t resourceId,
                                  std::string* why = nullptr);

} // namespace pelorix
