#pragma once

#include "projectdata/CDFileData.h"

#include <string_view>

namespace pelorix {

// Fills a record's values (all but its path, which the list owns) from the bytes of a project
// file: each line is tested against every key, the first line of a key counts (the last for
// "Type="). The fields start at their no-values. Error 5 for a quoted key's line with a single
// double quote; the description names the file (projectFilePath, the path the list gives) and the
// line: "引用符が閉じていません。:[ProjectFile=P], 行番号: N".
void readProjectFileBytes(std::string_view bytes, ProjectRecord& record,
                          std::string_view projectFilePath = {});

} // namespace pelorix
