#pragma once

#include "platform/ErrorConvention.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pelorix {

// The kinds fCheckPath tests for (the attribute values of a folder and a plain file).
inline constexpr int vbDirectory = 16;
inline constexpr int vbNormal = 0;

// The common class: small text and path tests used everywhere (emptiness, numbers, delimiters,
// existence) and the path transformations used when project paths are resolved. It keeps no
// state that callers see; every user creates its own instance. Paths are Windows paths.
class CCCommon : public ErrorHolder {
public:
    CCCommon() : ErrorHolder("CCCommon") {}

    // Digits with at most one "-" and at most one "." anywhere; spaces around are ignored.
    bool fIsNumeric(std::string_view text);
    // True for a text of spaces only, or a single NUL between spaces.
    bool fIsNull(std::string_view text);
    // Whether a folder (kind 16) or a file (kind 0) exists; any other kind is false.
    bool fCheckPath(std::string_view path, int kind);
    // Non-overlapping occurrences of the delimiter (both trimmed of spaces first).
    std::int32_t fDelimiterCount(std::string_view text, std::string_view delimiter);
    // The path with "." and ".." segments resolved; "" for an empty path.
    std::string fGetAbsolutePath(std::string_view path);
    // The folder that holds a file.
    std::string fGetParentDirPath(std::string_view path);
    // Expands environment variables written between "%" signs; values are not expanded again.
    std::string fReplaceEnviron(std::string_view text);
    // The path in double quotes when it holds a space.
    std::string fGetQuoteSpacesPath(std::string_view path);
    // "X:" or "\\server\share" of a path, "" when it has none.
    std::string fGetDriveName(std::string_view path);
    // Fills drives with the paths of the machine's drives ("C:" ...) and returns their count; with
    // no drives the vector is left as it was.
    std::int32_t fEnumDrivePath(std::vector<std::string>& drives);
    // The part of a path after its drive letter and colon; "" when it does not start with one.
    std::string fPathSkipRoot(std::string_view path);
};

} // namespace pelorix
