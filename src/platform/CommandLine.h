#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pelorix {

// Windows command lines. A Windows program receives one line of text and splits it itself; the
// programs we start (the compiler, the shell, tools) split it the way the system's own
// CommandLineToArgvW does, so that is the one rule used here to turn a line into the argument
// vector a Linux process needs.

// Splits a command line into arguments:
// - argv[0]: a leading '"' runs to the next '"' (no escapes); otherwise it runs to the first space
//   or tab and quotes in it are literal. A line that starts with white space has an empty argv[0].
// - later arguments: space and tab separate; '"' toggles quoting; 2n backslashes before '"' give n
//   backslashes and the quote toggles, 2n+1 give n backslashes and a literal '"'; other
//   backslashes are literal; in a run of quotes that opens or continues a quoted part, 3n quotes
//   give n literal quotes and quoting goes on, 3n+1 give n and quoting ends, 3n+2 give n+1 and
//   quoting ends. An unclosed quote runs to the end of the line.
// An empty line gives no arguments (there is no calling program to name).
std::vector<std::string> splitCommandLine(std::string_view commandLine);

// One argument quoted so that the splitting above (and every C runtime) gives it back unchanged.
std::string quoteArgument(std::string_view argument);

// The program path as the first token of a command line: quoted when it holds white space or is
// empty, never escaped (a path cannot hold '"').
std::string quoteProgramPath(std::string_view programPath);

// The command line of an argument vector: the inverse of splitCommandLine.
std::string joinCommandLine(const std::vector<std::string>& arguments);

} // namespace pelorix
