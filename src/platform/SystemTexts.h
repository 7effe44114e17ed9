#pragma once

#include <span>
#include <string>
#include <string_view>

namespace pelorix {

// What the system the program runs on does where the help texts of the command line tell it, in
// their words: each system's part (on Linux against the Wine prefix, on Windows the system's own).
// A help text names each by its key in braces ("{registry}"), so that one text serves both
// systems and says what holds on the one it runs on.
struct SystemText {
    std::string_view key;
    std::string_view text;
};

// Every text of this system; each system's part.
std::span<const SystemText> systemTexts() noexcept;

// The text with every "{key}" of systemTexts() replaced by this system's text.
std::string withSystemTexts(std::string_view text);

} // namespace pelorix
