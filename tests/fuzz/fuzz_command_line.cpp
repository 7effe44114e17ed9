// Command lines come from settings files the user edits, and paths from project files: whatever
// their bytes, splitting must give arguments that quote back to the same arguments, and resolving
// dot segments on a drive must settle at once (a resolved path resolves to itself).
#include "platform/CFWin32API.h"
#include "platform/CommandLine.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto arguments = pelorix::splitCommandLine(text);
    if (pelorix::splitCommandLine(pelorix::joinCommandLine(arguments)) != arguments)
        __builtin_trap();
    // Short inputs only: a path too long for the system's buffer is logged, which a fuzzer must not do.
    if (size < 200) {
        pelorix::CFWin32API api;
        const std::string once = api.fPathCanonicalize(text);
        if (once.empty())
            __builtin_trap();
        // Paths on a drive are what the program resolves (a project folder joined with a relative
        // path); those must settle at once. Other shapes need only be handled without a fault.
        const bool onDrive = size >= 3 &&
                             ((text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= 'a' && text[0] <= 'z')) &&
                             text[1] == ':' && text[2] == '\\';
        if (onDrive && api.fPathCanonicalize(once) != once)
            __builtin_trap();
    }
    return 0;
}
