#pragma once

#include <cstdint>

namespace pelorix {

// The process's standard error as a terminal: whether it is one (a person watches it, so a line
// may be rewritten in place) and how many columns it shows.

bool standardErrorIsTerminal() noexcept;

// The width of the terminal on standard error in columns; 80 when it does not say.
std::int32_t standardErrorColumns() noexcept;

// Whether the terminal on standard error acts on escape sequences, so that one erases a line; a
// Windows console does only in its virtual-terminal mode, which the program leaves as it finds it.
bool standardErrorTakesEscapes() noexcept;

} // namespace pelorix
