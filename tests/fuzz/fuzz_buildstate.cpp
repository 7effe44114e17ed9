// Reads arbitrary bytes as the build state of a list: nothing may crash, and a state that parses
// writes out to bytes that parse to the same state (what the next run reads is what was kept).
#include "engine/UpToDate.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    constexpr std::string_view list = "C:\\lists\\build.ini";
    const auto state = pelorix::BuildState::parse(bytes, list);
    if (!state)
        return 0;
    const std::string text = state->text();
    const auto again = pelorix::BuildState::parse(text, list);
    check(again && again->size() == state->size() && again->text() == text);
    return 0;
}
