#include "platform/CCCommon.h"

#include "platform/CFWin32API.h"
#include "platform/Environment.h"
#include "platform/FileSystemObject.h"
#include "platform/Numbers.h"
#include "platform/Text.h"

#include <cstdlib>

namespace pelorix {

bool CCCommon::fIsNull(std::string_view text) {
    return guard("fIsNull", [&] {
        const std::string_view trimmed = trimSpaces(text);
        return trimmed.empty() || trimmed == std::string_view("\0", 1);
    });
}

bool CCCommon::fIsNumeric(std::string_view text) {
    return guard("fIsNumeric", [&] { return isNumericText(text); });
}

bool CCCommon::fCheckPath(std::string_view path, int kind) {
    return guard("fCheckPath", [&] {
        if (fIsNull(path))
            return false;
        const FileSystemObject fso;
        if (kind == vbDirectory)
            return fso.FolderExists(path);
        if (kind == vbNormal)
            return fso.FileExists(path);
        return false;
    });
}

std::int32_t CCCommon::fDelimiterCount(std::string_view text, std::string_view delimiter) {
    return guard("fDelimiterCount", [&] {
        const std::string_view body = trimSpaces(text);
        const std::string_view delim = trimSpaces(delimiter);
        if (fIsNull(body) || fIsNull(delim))
            return std::int32_t{0};
        std::int32_t count = 0;
        for (auto pos = body.find(delim); pos != std::string_view::npos;
             pos = body.find(delim, pos + delim.size()))
            ++count;
        return count;
    });
}

std::string CCCommon::fGetAbsolutePath(std::string_view path) {
    return guard("fGetAbsolutePath", [&] {
        const std::string_view trimmed = trimSpaces(path);
        if (fIsNull(trimmed))
            return std::string();
        return CFWin32API().fPathCanonicalize(trimmed);
    });
}

std::string CCCommon::fGetParentDirPath(std::string_view path) {
    return guard("fGetParentDirPath", [&] {
        if (fIsNull(path))
            return std::string();
        return FileSystemObject::GetParentFolderName(path);
    });
}

// Expands "%name%" tokens from the environment as a program in Wine sees it (names without regard
// to case, an unset variable as ""). An inserted value is never scanned again, so a value holding
// "%" signs stays as it is. "%%" is left as written, and a "%" that is never closed stays.
std::string CCCommon::fReplaceEnviron(std::string_view text) {
    return guard("fReplaceEnviron", [&] {
        if (fIsNull(text))
            return std::string();
        std::string out(text);
        std::size_t open = std::string::npos;
        std::size_t pos = 0;
        while (pos < out.size()) {
            if (out[pos] != '%') {
                ++pos;
                continue;
            }
            if (open == std::string::npos) {
                open = pos++;
                continue;
            }
            if (pos == open + 1) { // "%%": no name, nothing to expand
                open = std::string::npos;
                ++pos;
                continue;
            }
            const std::string token = out.substr(open, pos - open + 1);
            const std::string value = getEnvironmentVariable(token.substr(1, token.size() - 2));
            // Every later occurrence of the same token takes the value too; the text before the
            // token has been scanned already and holds only earlier values.
            out = out.substr(0, open) + replaceAll(std::string_view(out).substr(open), token, value);
            pos = open + value.size();
            open = std::string::npos;
        }
        return out;
    });
}

std::string CCCommon::fGetQuoteSpacesPath(std::string_view path) {
    return guard("fGetQuoteSpacesPath", [&] { return CFWin32API().QuoteSpaces(path); });
}

std::string CCCommon::fGetDriveName(std::string_view path) {
    return guard("fGetDriveName", [&] {
        if (fIsNull(path))
            return std::string();
        return FileSystemObject::GetDriveName(path);
    });
}

std::int32_t CCCommon::fEnumDrivePath(std::vector<std::string>& drives) {
    return guard("fEnumDrivePath", [&] {
        std::vector<std::string> found = FileSystemObject().Drives();
        if (found.empty())
            return std::int32_t{0};
        drives = std::move(found);
        return static_cast<std::int32_t>(drives.size());
    });
}

std::string CCCommon::fPathSkipRoot(std::string_view path) {
    return guard("fPathSkipRoot", [&] {
        const std::string_view trimmed = trimSpaces(path);
        if (trimmed.size() > 1 && trimmed[1] == ':')
            return std::string(trimmed.substr(2));
        return std::string();
    });
}

} // namespace pelorix
