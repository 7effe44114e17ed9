#include "platform/CommandLine.h"

namespace pelorix {
namespace {

constexpr bool isBlank(char c) noexcept {
    return c == ' ' || c == '\t';
}

// The first argument: the program's name, which the system reads without any escapes.
std::size_t readProgramName(std::string_view line, std::string& out) {
    std::size_t pos = 0;
    if (!line.empty() && line[0] == '"') {
        const auto close = line.find('"', 1);
        const auto end = close == std::string_view::npos ? line.size() : close;
        out.assign(line.substr(1, end - 1));
        return close == std::string_view::npos ? line.size() : close + 1;
    }
    while (pos < line.size() && !isBlank(line[pos]))
        ++pos;
    out.assign(line.substr(0, pos));
    return pos;
}

// One later argument starting at pos (which is not blank); returns the position after it.
std::size_t readArgument(std::string_view line, std::size_t pos, std::string& out) {
    bool quoted = false;
    while (pos < line.size()) {
        const char c = line[pos];
        if (isBlank(c) && !quoted)
            break;
        if (c == '\\') {
            std::size_t run = 0;
            while (pos < line.size() && line[pos] == '\\') {
                ++run;
                ++pos;
            }
            if (pos < line.size() && line[pos] == '"') {
                out.append(run / 2, '\\');
                if (run % 2 == 1) {
                    out.push_back('"'); // an escaped quote is plain text
                    ++pos;
                }
                // With an even run the quote is handled as a quote on the next turn.
            } else {
                out.append(run, '\\');
            }
            continue;
        }
        if (c == '"') {
            ++pos;
            if (!quoted) {
                quoted = true;
            } else if (pos < line.size() && line[pos] == '"') {
                // Two quotes inside a quoted part: one literal quote, and the quoted part ends.
                out.push_back('"');
                quoted = false;
                ++pos;
            } else {
                quoted = false;
            }
            continue;
        }
        out.push_back(c);
        ++pos;
    }
    return pos;
}

bool needsQuotes(std::string_view s) noexcept {
    return s.empty() || s.find_first_of(" \t\"") != std::string_view::npos;
}

} // namespace

std::vector<std::string> splitCommandLine(std::string_view commandLine) {
    std::vector<std::string> arguments;
    if (commandLine.empty())
        return arguments;
    std::string current;
    std::size_t pos = readProgramName(commandLine, current);
    arguments.push_back(std::move(current));
    for (;;) {
        while (pos < commandLine.size() && isBlank(commandLine[pos]))
            ++pos;
        if (pos >= commandLine.size())
            break;
        current.clear();
        pos = readArgument(commandLine, pos, current);
        arguments.push_back(std::move(current));
    }
    return arguments;
}

std::string quoteArgument(std::string_view argument) {
    if (!needsQuotes(argument))
        return std::string(argument);
    std::string out;
    out.reserve(argument.size() + 2);
    out.push_back('"');
    std::size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes before a quote are doubled and the quote escaped; elsewhere they are plain.
        out.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        out.push_back(c);
    }
    out.append(backslashes * 2, '\\'); // so that the closing quote stays a quote
    out.push_back('"');
    return out;
}

std::string quoteProgramPath(std::string_view programPath) {
    if (!programPath.empty() && programPath.find_first_of(" \t") == std::string_view::npos &&
        programPath.front() != '"')
        return std::string(programPath);
    std::string out;
    out.reserve(programPath.size() + 2);
    out.push_back('"');
    out.append(programPath);
    out.push_back('"');
    return out;
}

std::string joinCommandLine(const std::vector<std::string>& arguments) {
    std::string line;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (i > 0)
            line.push_back(' ');
        line += i == 0 ? quoteProgramPath(arguments[i]) : quoteArgument(arguments[i]);
    }
    return line;
}

} // namespace pelorix
