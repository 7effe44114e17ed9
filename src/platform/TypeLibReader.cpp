#include "platform/TypeLibReader.h"

namespace pelorix {

std::optional<TypeLibAttributes> parseTypeLib(std::string_view, std::uint32_t)
{
    return std::nullopt;
}

std::optional<TypeLibAttributes> readTypeLibAttributes(std::string_view)
{
    return std::nullopt;
}

} // namespace pelorix
