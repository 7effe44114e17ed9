#include "platform/CFWin32API.h"
#include "platform/CodePage.h"
#include "platform/Win32Error.h"

#include <vector>

namespace pelorix {
namespace {

// The longest path the system's path buffers hold, in ANSI bytes, without the closing NUL.
constexpr std::size_t MaxPath = 260;

bool isDriveLetter(char c) noexcept {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The part of a path that ".." never climbs above: "X:\", "X:", "\\server", "\" or nothing.
std::string_view rootOf(std::string_view path) noexcept {
    if (path.size() >= 2 && path[1] == ':' && isDriveLetter(path[0]))
        return path.substr(0, path.size() >= 3 && path[2] == '\\' ? 3 : 2);
    if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
        const auto end = path.find('\\', 2);
        return path.substr(0, end == std::string_view::npos ? path.size() : end);
    }
    if (!path.empty() && path[0] == '\\')
        return path.substr(0, 1);
    return {};
}

// Removes "." segments and each ".." segment together with the segment before it. Only "\"
// separates segments ("/" is an ordinary character). A ".." at the root is dropped; a leading
// ".." of a relative path has nothing to remove and stays. Trailing dots of the last segment are
// dropped, as the system does for names that cannot end in a dot. Empty segments (a doubled or a
// trailing "\") are kept.
std::string canonicalize(std::string_view path) {
    const std::string_view root = rootOf(path);
    const bool rootIsServer = root.size() > 2 && root[0] == '\\';
    std::string_view rest = path.substr(root.size());
    if (rootIsServer && !rest.empty())
        rest.remove_prefix(1); // the separator after "\\server"

    std::vector<std::string_view> segments;
    std::size_t keptUps = 0; // ".." segments kept at the start of a relative path
    while (!rest.empty()) {
        const auto sep = rest.find('\\');
        const std::string_view segment = rest.substr(0, sep);
        if (segment == "..") {
            if (segments.size() > keptUps)
                segments.pop_back();
            else if (root.empty()) {
                segments.push_back(segment);
                ++keptUps;
            }
        } else if (segment != ".") {
            segments.push_back(segment);
        }
        if (sep == std::string_view::npos)
            break;
        rest.remove_prefix(sep + 1);
        if (rest.empty()) {
            if (!segments.empty())
                segments.emplace_back(); // the path ends with a separator
            break;
        }
    }

    // What is left of a network path after ".." climbed back to its server is the server itself,
    // without a separator (so that resolving the result again gives the same text).
    if (rootIsServer && segments.size() == 1 && segments[0].empty())
        segments.clear();

    std::string out(root);
    for (std::size_t i = 0; i < segments.size(); ++i) {
        if (i > 0 || rootIsServer)
            out.push_back('\\');
        std::string_view segment = segments[i];
        if (i + 1 == segments.size() && i >= keptUps) {
            const auto keep = segment.find_last_not_of('.');
            if (keep != std::string_view::npos)
                segment = segment.substr(0, keep + 1);
        }
        out.append(segment);
    }
    if (out.empty())
        out.push_back('\\');
    return out;
}

} // namespace

// Resolves the dot segments of a Windows path. A path too long for the system's buffer fails:
// the failure is logged and the result is "", and the caller goes on.
std::string CFWin32API::fPathCanonicalize(std::string_view path) {
    std::string result;
    handle("fPathCanonicalize", false, [&] {
        if (utf8ToAnsi(path).size() >= MaxPath) {
            SetLastError(win32::FilenameExcedRange);
            throw RuntimeError(win32::FilenameExcedRange, GetLastErrorMsg(win32::FilenameExcedRange));
        }
        result = canonicalize(path);
    });
    return result;
}

// Encloses a path holding a space in double quotes. There is no test for quotes already there;
// a path that would not fit the system's buffer once quoted stays as it is.
std::string CFWin32API::QuoteSpaces(std::string_view path) {
    return guard("QuoteSpaces", [&] {
        std::string out(path);
        if (out.find(' ') == std::string::npos || utf8ToAnsi(path).size() + 3 >= MaxPath)
            return out;
        return "\"" + out + "\"";
    });
}

} // namespace pelorix
