#include "platform/Terminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace pelorix {

bool standardErrorIsTerminal() noexcept {
    return ::isatty(STDERR_FILENO) == 1;
}

std::int32_t standardErrorColumns() noexcept {
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

bool standardErrorTakesEscapes() noexcept {
    return true;
}

} // namespace pelorix
