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

// Why the Wine prefix offers no usable registry, or nothing when it does: the prefix folder is
// missing or no folder, it has no drive (no dosdevices link), its system.reg is missing, or its
// system.reg or user.reg is not a Wine registry file. The text names the prefix or the file.
std::optional<std::string> prefixRegistryProblem();

} // namespace pelorix
