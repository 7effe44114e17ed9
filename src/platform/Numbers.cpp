#include "platform/Numbers.h"

#include "platform/Text.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace pelorix {

namespace {

// The value of a rounded number when it lies within [low, high].
template <class Int>
std::optional<Int> roundedInto(std::string_view text) noexcept {
    const std::optional<double> value = numberValue(text);
    if (!value)
        return std::nullopt;
    const double rounded = std::nearbyint(*value); // the default rounding mode: half to even
    if (!(rounded >= static_cast<double>(std::numeric_limits<Int>::min()) &&
          rounded <= static_cast<double>(std::numeric_limits<Int>::max())))
        return std::nullopt;
    return static_cast<Int>(rounded);
}

} // namespace

bool isNumericText(std::string_view text) noexcept {
    const std::string_view trimmed = trimSpaces(text);
    if (trimmed.empty() || trimmed == "-" || trimmed == ".")
        return false;
    bool minusSeen = false;
    bool pointSeen = false;
    for (const char c : trimmed) {
        if (c >= '0' && c <= '9')
            continue;
        if (c == '-' && !minusSeen)
            minusSeen = true;
        else if (c == '.' && !pointSeen)
            pointSeen = true;
        else
            return false;
    }
    return true;
}

std::optional<double> numberValue(std::string_view text) noexcept {
    if (!isNumericText(text))
        return std::nullopt;
    // The digits and the point in their order, the minus sign taken out: "-1.5", "1.-5" and
    // "1.5-" are all -1.5. A leading "0" gives ".5" its integer part.
    std::string digits = "0";
    bool negative = false;
    for (const char c : trimSpaces(text)) {
        if (c == '-')
            negative = true;
        else
            digits += c;
    }
    double value = 0.0;
    const auto [end, ec] =
        std::from_chars(digits.data(), digits.data() + digits.size(), value, std::chars_format::fixed);
    if (ec == std::errc::result_out_of_range) {
        // Too many integer digits for a double; a fraction too small to tell from zero is zero.
        const bool hasIntegerDigits = digits.find_first_not_of('0') < digits.find('.');
        value = hasIntegerDigits ? std::numeric_limits<double>::infinity() : 0.0;
    } else if (ec != std::errc() || end != digits.data() + digits.size()) {
        return std::nullopt;
    }
    return negative ? -value : value;
}

std::optional<std::int32_t> longValue(std::string_view text) noexcept {
    return roundedInto<std::int32_t>(text);
}

std::optional<std::int16_t> integerValue(std::string_view text) noexcept {
    return roundedInto<std::int16_t>(text);
}

} // namespace pelorix
