#pragma once

#include <optional>
#include <string>

namespace pelorix {

// What a build run needs of the machine before its first project, checked once at its start so
// that a run that cannot work says why at once instead of failing later with a bare system text.

// Why the program folder cannot take the compiler logs a build waits for, or nothing when it can:
// "ﾌﾟﾛｸﾞﾗﾑﾌｫﾙﾀﾞがありません。", "... がﾌｫﾙﾀﾞではありません。" or "... に書き込めません。",
// followed by the folder in square brackets.
std::optional<std::string> programFolderProblem();

// Why the registry the compiler reads cannot be used, or nothing when it can; each system's part.
// On Linux the Wine prefix's: the prefix folder is missing or no folder, it has no drive (no
// dosdevices link), its system.reg is missing, or its system.reg or user.reg is not a Wine
// registry file; the text names the prefix or the file. On Windows the registry is the system's
// own, always there: nothing.
std::optional<std::string> registryProblem();

} // namespace pelorix
