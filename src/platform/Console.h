#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace pelorix {

// The process's standard output and error for the program's UTF-8 text. Redirected to a file or
// a pipe they take the bytes unchanged; on a Windows console the text is written as UTF-16, so
// that Japanese texts show whatever the console's code page.
std::ostream& standardOutput();
std::ostream& standardError();

// The program's arguments in UTF-8, its own name first (on Windows from the wide command line,
// so that no argument passes through the ANSI code page).
std::vector<std::string> programArguments(int argc, char** argv);

} // namespace pelorix
