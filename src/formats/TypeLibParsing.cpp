#include "formats/TypeLibParsing.h"

#include <array>
#include <bit>
#include <charconv>
#include <cinttypes>
#include <cstdio>

namespace pelorix::typelib_detail {

void damaged(const std::string& what) {
    throw TypeLibError(what);
}

std::string hex(std::uint64_t value) {
    std::array<char, 24> text{};
    std::snprintf(text.data(), text.size(), "0x%" PRIX64, value);
    return text.data();
}

std::string integerText(std::int64_t value) {
    return std::to_string(value);
}

std::string unsignedText(std::uint64_t value) {
    return std::to_string(value);
}

std::string realText(double value) {
    std::array<char, 40> text{};
    const auto [end, error] = std::to_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() ? std::string(text.data(), end) : std::string("0");
}

std::string quotedText(std::string_view bytes) {
    std::string out = "\"";
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (u < 0x20 || u == 0x7F) {
            std::array<char, 8> escaped{};
            std::snprintf(escaped.data(), escaped.size(), "\\x%02X", u);
            out += escaped.data();
        } else {
            out += c;
        }
    }
    return out + "\"";
}

namespace {

// A currency value: a 64-bit integer of ten-thousandths.
std::string currencyText(std::int64_t value) {
    const bool negative = value < 0;
    const std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    std::string fraction = std::to_string(10000 + magnitude % 10000).substr(1);
    while (!fraction.empty() && fraction.back() == '0')
        fraction.pop_back();
    return (negative ? "-" : "") + std::to_string(magnitude / 10000) +
           (fraction.empty() ? "" : "." + fraction);
}

} // namespace

Value numericValue(const LibBytes& bytes, std::uint64_t offset, std::uint16_t type) {
    const std::uint32_t low = bytes.u32(offset);
    switch (type) {
    case vt::I2:
    case vt::Bool:
        return {type, integerText(static_cast<std::int16_t>(low))};
    case vt::I1:
        return {type, integerText(static_cast<std::int8_t>(low))};
    case vt::UI1:
        return {type, unsignedText(low & 0xFF)};
    case vt::UI2:
        return {type, unsignedText(low & 0xFFFF)};
    case vt::I4:
    case vt::Int:
    case vt::Error:
    case vt::HResult:
        return {type, integerText(static_cast<std::int32_t>(low))};
    case vt::UI4:
    case vt::UInt:
        return {type, unsignedText(low)};
    case vt::R4:
        return {type, realText(std::bit_cast<float>(low))};
    case vt::R8:
    case vt::Date:
        return {type, realText(std::bit_cast<double>(bytes.u64(offset)))};
    case vt::Cy:
        return {type, currencyText(static_cast<std::int64_t>(bytes.u64(offset)))};
    case vt::I8:
        return {type, integerText(static_cast<std::int64_t>(bytes.u64(offset)))};
    case vt::UI8:
        return {type, unsignedText(bytes.u64(offset))};
    default:
        return {type, "(a value of variant type " + std::to_string(type) + ")"};
    }
}

} // namespace pelorix::typelib_detail
