#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pelorix {

// Where the program lives and what it runs against, read from the process environment on every
// call so that a test can point each of them at a folder of its own.

// The name of the ANSI code page (see platform/CodePage.h): PELORIX_CODEPAGE, else "CP932".
std::string ansiCodePage();

// The program folder as a host path: PELORIX_HOME; else the executable's folder when files can be
// made there; else, created on demand, on Linux $XDG_CONFIG_HOME/pelorix (default
// ~/.config/pelorix), on Windows %APPDATA%\pelorix.
std::string programFolderHost();

// The program folder as the program sees it: a Windows path without a trailing "\".
std::string App_Path();

// The folder the registry the compiler reads is kept in, for the messages that name it: on Linux
// the Wine prefix (see platform/linux/WinePrefix.h); nothing on Windows, where the registry is the
// system's own.
std::optional<std::string> registryFolder();

// An environment variable as the compiler sees it: names are matched without regard to case; on
// Linux, as in Wine, WINDIR and SystemRoot read "C:\windows" when unset. "" for an unset variable.
std::string getEnvironmentVariable(std::string_view name);

// A plain read of a host environment variable.
std::optional<std::string> hostEnv(const char* name);

} // namespace pelorix
