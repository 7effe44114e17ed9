#include "engine/CompilerLog.h"

#include "platform/CodePage.h"
#include "platform/DosPath.h"
#include "platform/DriveMap.h"
#include "platform/FileSystemObject.h"
#include "platform/HostFile.h"
#include "platform/RuntimeError.h"
#include "platform/Text.h"
#include "platform/Win32Error.h"

#include <algorithm>
#include <array>
#include <climits>
#include <deque>
#include <optional>
#include <span>

namespace pelorix {

namespace {

// A line longer than this is read in pieces of about this size.
constexpr std::size_t PieceBytes = 64 * 1024;

// What a text of a compiler log says. A line's kinds decide its effect in this order: Success,
// NotFound, Compatibility, Error and CompileError; a line with none of these (a FailureSummary or
// a LoadErrors line too) sets 99 only when no earlier line set a code.
enum LogTextKind : unsigned {
    Success = 1,
    NotFound = 2,
    Compatibility = 4,
    Error = 8,
    CompileError = 16,   // an error whose line names file, line and message
    FailureSummary = 32, // follows every failure, after the line that says why
    LoadErrors = 64,     // the line refers to another log for the details
};

enum class Match {
    Contains,    // the line holds the text (exact, case-sensitive)
    StartAndEnd, // the line, without surrounding blanks, starts with the text and ends with end
    Whole,       // the line, without surrounding blanks, is the text
};

struct LogText {
    LogTextKind kind;
    std::string_view text;
    Match match = Match::Contains;
    std::string_view end = {};       // StartAndEnd
    std::string_view lineLabel = {}; // CompileError: what stands between the quoted file and the number
};

// The texts of each language the compiler writes its logs in, in the order of their effect. A
// line is tested against every language at once: no text of one is part of another's.
//
// The Japanese compiler's success sentence names the output before it ("'Server.exe' の" and the
// sentence): like the English one it decides only when it makes the whole line, so that an error
// line that quotes it is not taken for a success.
constexpr std::string_view JapaneseSuccessAfterName = "' のﾋﾞﾙﾄﾞが正常に終了しました。";
constexpr std::string_view JapaneseSuccessAfterNameNoBlank = "'のﾋﾞﾙﾄﾞが正常に終了しました。";
constexpr LogText JapaneseTexts[] = {
    {Success, CompilerLogText::Success, Match::Whole},
    {Success, "'", Match::StartAndEnd, JapaneseSuccessAfterName},
    {Success, "'", Match::StartAndEnd, JapaneseSuccessAfterNameNoBlank},
    {NotFound, CompilerLogText::NotFound},
    {Compatibility, CompilerLogText::Implements},
    {Compatibility, CompilerLogText::VersionCompatible},
    {Error, CompilerLogText::Error},
};

// The English compiler. Its success and failure summaries name the output file between them
// ("Build of 'Server.exe' succeeded."), so they must frame the line; a compile error reads
// "Compile Error in File 'C:\src\a.bas', Line 12 : message". The missing-reference and
// compatibility texts are the compiler's documented messages; "Can't" is also found written with
// a typographic apostrophe.
constexpr LogText EnglishTexts[] = {
    {Success, "Build of '", Match::StartAndEnd, "' succeeded."},
    {NotFound, "Can't find project or library"},
    {NotFound, "Can\u2019t find project or library"},
    {Compatibility, "The binary compatibility DLL or EXE contains a parameter type or return type whose "
                    "definition cannot be found"},
    {Compatibility, "The binary compatibility DLL or EXE contains an Implements type whose definition cannot "
                    "be found"},
    {Compatibility, "incompatible with a similar declaration in the version-compatible component"},
    {Compatibility, "Unable to set the version compatible component"},
    {CompileError, "Compile Error in File '", Match::Contains, {}, "', Line "},
    {Error, "File not found: '"},
    {FailureSummary, "Build of '", Match::StartAndEnd, "' failed."},
    // Its wording varies between sources ("Errors during load.", "errors occurred during load");
    // the log it refers to is the quoted path that follows.
    {LoadErrors, "during load"},
};

constexpr std::array<std::span<const LogText>, 2> Languages = {JapaneseTexts, EnglishTexts};

template <class Visit>
constexpr void forEachText(Visit&& visit) {
    for (const std::span<const LogText> language : Languages)
        for (const LogText& text : language)
            visit(text);
}

// Blanks after a framing end that the scan still sees.
constexpr std::size_t TrailingBlanks = 64;

// How many bytes of a line's end the scan keeps, and of its start.
constexpr std::size_t scanWindow() {
    std::size_t keep = 0;
    forEachText([&keep](const LogText& t) {
        keep =
            std::max(keep, t.match == Match::StartAndEnd ? t.end.size() + TrailingBlanks : t.text.size() - 1);
    });
    return keep;
}
constexpr std::size_t scanStart() {
    std::size_t keep = 0;
    forEachText([&keep](const LogText& t) {
        if (t.match != Match::Contains)
            keep = std::max(keep, t.text.size());
    });
    return keep;
}
constexpr std::size_t ScanWindow = scanWindow();
constexpr std::size_t ScanStart = scanStart();

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// The kinds of text one line holds, found in its pieces as they come: a text that a piece
// boundary cuts is found through the end of the previous piece, which is kept, as is the line's
// start for the texts that frame a line.
class LineScan {
public:
    void add(std::string_view text) {
        while (!m_started && !text.empty() && isBlank(text.front()))
            text.remove_prefix(1);
        m_started = m_started || !text.empty();
        m_length += text.size();
        if (m_start.size() < ScanStart)
            m_start.append(text.substr(0, ScanStart - m_start.size()));
        m_window.append(text);
        forEachText([this](const LogText& t) {
            if (t.match == Match::Contains && contains(m_window, t.text))
                m_kinds |= t.kind;
        });
        if (m_window.size() > ScanWindow)
            m_window.erase(0, m_window.size() - ScanWindow);
    }
    unsigned kinds() const {
        unsigned kinds = m_kinds;
        std::string_view end = m_window;
        while (!end.empty() && isBlank(end.back()))
            end.remove_suffix(1);
        const std::size_t length = m_length - (m_window.size() - end.size());
        forEachText([&](const LogText& t) {
            const bool framed = t.match == Match::StartAndEnd && length >= t.text.size() + t.end.size() &&
                                std::string_view(m_start).starts_with(t.text) && end.ends_with(t.end);
            const bool whole = t.match == Match::Whole && length == t.text.size() &&
                               std::string_view(m_start).starts_with(t.text);
            if (framed || whole)
                kinds |= t.kind;
        });
        return kinds;
    }
    void reset() {
        m_window.clear();
        m_start.clear();
        m_started = false;
        m_length = 0;
        m_kinds = 0;
    }

private:
    std::string m_window;
    std::string m_start;
    bool m_started = false;     // a non-blank byte came
    std::uint64_t m_length = 0; // the line's bytes from its first non-blank one
    unsigned m_kinds = 0;
};

// A run of lines left out of what is kept.
struct Gap {
    std::size_t lines = 0;
    std::uint64_t bytes = 0;
    void add(const Gap& other) {
        lines += other.lines;
        bytes += other.bytes;
    }
    void add(std::uint64_t lineBytes) { add(Gap{1, lineBytes}); }
    std::string marker() const {
        return "(ｺﾝﾊﾟｲﾗのﾛｸﾞの" + std::to_string(lines) + "行、" + std::to_string(bytes) +
               "ﾊﾞｲﾄを省略しました。)";
    }
};

// The lines kept of a log: the first ones up to the head's bounds, then the last TailLines, and
// the line that set the code wherever it falls. Lines leaving the tail are counted in the gap
// before the deciding line or the one after it.
class KeptLines {
public:
    void add(std::string text, std::uint64_t rawBytes, bool decides) {
        if (decides)
            dropDecision();
        if (!m_headFull && m_head.size() < CompilerLogBounds::HeadLines &&
            m_headBytes + text.size() <= CompilerLogBounds::HeadBytes) {
            m_headBytes += text.size();
            m_head.push_back(std::move(text));
            if (decides)
                m_decidingHeadLine = static_cast<std::int32_t>(m_head.size()) - 1;
            return;
        }
        m_headFull = true;
        m_tail.push_back({std::move(text), rawBytes, decides});
        if (m_tail.size() > CompilerLogBounds::TailLines)
            evictOldestTailLine();
    }

    CompilerLogResult result(std::int16_t code) && {
        CompilerLogResult out;
        out.code = code;
        out.decidingLine = m_decidingHeadLine;
        out.lines = std::move(m_head);
        if (m_before.lines > 0)
            out.lines.push_back(m_before.marker());
        if (m_middle) {
            out.decidingLine = static_cast<std::int32_t>(out.lines.size());
            out.lines.push_back(std::move(m_middle->text));
        }
        if (m_after.lines > 0)
            out.lines.push_back(m_after.marker());
        for (TailLine& line : m_tail) {
            if (line.deciding)
                out.decidingLine = static_cast<std::int32_t>(out.lines.size());
            out.lines.push_back(std::move(line.text));
        }
        return out;
    }

private:
    struct TailLine {
        std::string text;
        std::uint64_t bytes;
        bool deciding;
    };

    // A later line sets the code: the earlier deciding line is an ordinary line again.
    void dropDecision() {
        m_decidingHeadLine = -1;
        if (m_middle) {
            m_before.add(m_middle->bytes);
            m_before.add(m_after);
            m_after = {};
            m_middle.reset();
        }
        for (TailLine& line : m_tail)
            line.deciding = false;
    }

    void evictOldestTailLine() {
        TailLine oldest = std::move(m_tail.front());
        m_tail.pop_front();
        if (oldest.deciding)
            m_middle = std::move(oldest);
        else
            (m_middle ? m_after : m_before).add(oldest.bytes);
    }

    std::vector<std::string> m_head;
    std::size_t m_headBytes = 0;
    bool m_headFull = false;
    std::int32_t m_decidingHeadLine = -1;
    Gap m_before;
    std::optional<TailLine> m_middle;
    Gap m_after;
    std::deque<TailLine> m_tail;
};

// The longest start of the UTF-8 text that fits in the given bytes, whole characters only.
std::string_view utf8Prefix(std::string_view text, std::size_t bytes) {
    if (text.size() <= bytes)
        return text;
    std::size_t end = bytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end);
}

// Where to cut a long line's bytes so that no character of a multi-byte code page is split: after
// the last byte below 0x40 in the piece, which no such code page uses as a trail byte. A piece
// without one is cut at its size.
std::size_t pieceEnd(std::string_view bytes) {
    for (std::size_t i = PieceBytes; i > 0; --i)
        if (static_cast<unsigned char>(bytes[i - 1]) < 0x40)
            return i;
    return PieceBytes;
}

} // namespace

// The reading of one log: the line being read, the classification so far and the lines kept.
class CompilerLogReader::State {
public:
    explicit State(bool classify = true, std::size_t lineLimit = 0)
        : m_classify(classify), m_lineLimit(lineLimit) {}

    // Takes the next bytes of the log (in the ANSI code page).
    bool add(std::string_view bytes) {
        std::size_t pos = 0;
        if (m_afterCr && !bytes.empty()) {
            m_afterCr = false;
            if (bytes.front() == '\n')
                pos = 1;
        }
        while (!m_done && pos < bytes.size()) {
            const std::size_t end = bytes.find_first_of("\r\n", pos);
            if (end == std::string_view::npos) {
                m_pending.append(bytes.substr(pos));
                while (m_pending.size() >= PieceBytes)
                    takePendingPiece(pieceEnd(m_pending));
                break;
            }
            m_pending.append(bytes.substr(pos, end - pos));
            endLine();
            pos = end + 1;
            if (bytes[end] == '\r') {
                if (pos == bytes.size())
                    m_afterCr = true;
                else if (bytes[pos] == '\n')
                    ++pos;
            }
        }
        return !m_done;
    }

    // Takes one line that is text already (UTF-8); false once the success line was read.
    bool addTextLine(std::string_view line) {
        takePiece(line, line.size());
        endLine();
        return !m_done;
    }

    CompilerLogResult finish() {
        if (!m_done)
            endLine();
        CompilerLogResult result = std::move(m_kept).result(m_code);
        result.cut = m_cut;
        result.compileErrors = std::move(m_locations);
        result.referredLogs = std::move(m_referred);
        return result;
    }

private:
    void takePendingPiece(std::size_t size) {
        takePiece(ansiToUtf8(std::string_view(m_pending).substr(0, size)), size);
        m_pending.erase(0, size);
    }

    void takePiece(std::string_view text, std::size_t rawBytes) {
        if (m_classify)
            m_scan.add(text);
        m_lineBytes += rawBytes;
        const std::string_view shown = utf8Prefix(text, CompilerLogBounds::LineBytes - m_shown.size());
        m_shown.append(shown);
        m_lineCut = m_lineCut || shown.size() < text.size();
    }

    void endLine() {
        if (!m_pending.empty())
            takePendingPiece(m_pending.size());
        if (m_lineBytes > 0)
            classifyLine();
        m_scan.reset();
        m_shown.clear();
        m_lineBytes = 0;
        m_lineCut = false;
    }

    // The rules of classifyCompilerLog for the line just read.
    void classifyLine() {
        if (m_lineLimit > 0 && m_lines == m_lineLimit) {
            m_cut = true; // a line past the limit: the log goes on, and is read no further
            m_done = true;
            return;
        }
        ++m_lines;
        bool decides = false;
        if (m_classify) {
            const unsigned kinds = m_scan.kinds();
            decides = true;
            // A failure a line named stands: a success line after it does not undo it.
            const bool failure =
                (kinds & (NotFound | Compatibility | Error | CompileError | FailureSummary)) != 0;
            if ((kinds & Success) != 0 && !m_failureNamed) {
                m_code = BuildResult::Success;
                m_done = true;
            } else if ((kinds & NotFound) != 0) {
                m_code = BuildResult::NotFound;
            } else if ((kinds & Compatibility) != 0) {
                m_code = BuildResult::Compatibility;
            } else if ((kinds & (Error | CompileError)) != 0 || !m_codeSet) {
                m_code = BuildResult::Error;
            } else {
                decides = false; // an unknown line after one that set the code changes nothing
            }
            m_codeSet = m_codeSet || decides;
            m_failureNamed = m_failureNamed || failure;
            noteDetails(kinds);
        }
        if (m_lineCut)
            m_shown += "(以下省略。この行は" + std::to_string(m_lineBytes) + "ﾊﾞｲﾄです。)";
        m_kept.add(std::move(m_shown), m_lineBytes, decides);
    }

    // The location of a compile error and the log a load-error line refers to, as far as the line
    // is kept.
    void noteDetails(unsigned kinds) {
        if ((kinds & CompileError) != 0 && m_locations.size() < CompilerLogBounds::Locations)
            if (auto location = parseCompileErrorLine(m_shown))
                m_locations.push_back(std::move(*location));
        if ((kinds & LoadErrors) == 0 || m_referred.size() >= CompilerLogBounds::ReferredLogs)
            return;
        if (auto path = referredLogPath(m_shown)) {
            const bool known = std::any_of(m_referred.begin(), m_referred.end(), [&](const ReferredLog& log) {
                return equalsIgnoreCase(log.path, *path);
            });
            if (!known) {
                ReferredLog log;
                log.path = std::move(*path);
                m_referred.push_back(std::move(log));
            }
        }
    }

    const bool m_classify;
    const std::size_t m_lineLimit; // 0: none
    std::size_t m_lines = 0;
    bool m_cut = false;
    bool m_failureNamed = false; // a line named a failure (not merely an unknown line)
    KeptLines m_kept;
    LineScan m_scan;
    std::vector<CompileErrorLocation> m_locations;
    std::vector<ReferredLog> m_referred;
    std::string m_pending; // bytes of the current line not yet taken
    std::string m_shown;   // the current line as far as it is kept
    std::uint64_t m_lineBytes = 0;
    bool m_lineCut = false;
    bool m_afterCr = false;
    bool m_done = false;
    bool m_codeSet = false;
    std::int16_t m_code = BuildResult::EmptyLog;
};

CompilerLogReader::CompilerLogReader(bool classify, std::size_t lineLimit)
    : m_state(std::make_unique<State>(classify, lineLimit)) {}
CompilerLogReader::~CompilerLogReader() = default;

bool CompilerLogReader::add(std::string_view bytes) {
    return m_state->add(bytes);
}

CompilerLogResult CompilerLogReader::finish() {
    return m_state->finish();
}

CompilerLogResult classifyCompilerLog(const std::vector<std::string>& lines) {
    CompilerLogReader::State state;
    for (const std::string& line : lines)
        if (!line.empty() && !state.addTextLine(line))
            break;
    return state.finish();
}

std::string compileErrorText(const CompileErrorLocation& location) {
    return location.file + "(" + std::to_string(location.line) + "): " + location.message;
}

std::optional<CompileErrorLocation> parseCompileErrorLine(std::string_view line) {
    std::optional<CompileErrorLocation> found;
    forEachText([&](const LogText& t) {
        const std::size_t start =
            found || t.kind != CompileError ? std::string_view::npos : line.find(t.text);
        if (start == std::string_view::npos)
            return;
        const std::size_t fileStart = start + t.text.size();
        // The file ends at the first line label followed by a number and a colon: a file name
        // may hold "'", the message anything.
        for (std::size_t at = line.find(t.lineLabel, fileStart); at != std::string_view::npos;
             at = line.find(t.lineLabel, at + 1)) {
            std::size_t pos = at + t.lineLabel.size();
            std::int64_t number = 0;
            const std::size_t digits = pos;
            while (pos < line.size() && line[pos] >= '0' && line[pos] <= '9' && number <= INT32_MAX)
                number = number * 10 + (line[pos++] - '0');
            const std::string_view rest = trimWhite(line.substr(pos));
            if (pos == digits || !rest.starts_with(':'))
                continue;
            if (number < 1 || number > INT32_MAX)
                return;
            found = CompileErrorLocation{std::string(line.substr(fileStart, at - fileStart)),
                                         static_cast<std::int32_t>(number),
                                         std::string(trimWhite(rest.substr(1)))};
            return;
        }
    });
    return found;
}

std::optional<std::string> referredLogPath(std::string_view line) {
    std::optional<std::string> found;
    forEachText([&](const LogText& t) {
        const std::size_t start = found || t.kind != LoadErrors ? std::string_view::npos : line.find(t.text);
        if (start == std::string_view::npos)
            return;
        const std::string_view rest = line.substr(start + t.text.size());
        // The path between quotes (it may hold the quote itself: the last one closes it) ...
        const std::size_t open = rest.find_first_of("'\"");
        if (open != std::string_view::npos) {
            const std::size_t close = rest.rfind(rest[open]);
            if (close > open + 1)
                found = std::string(rest.substr(open + 1, close - open - 1));
            return;
        }
        // ... or, unquoted, the word that ends in ".log".
        const std::size_t dot = findIgnoreCase(rest, ".log");
        if (dot == std::string_view::npos)
            return;
        const std::size_t begin = rest.find_last_of(" \t", dot);
        const std::size_t from = begin == std::string_view::npos ? 0 : begin + 1;
        if (dot > from)
            found = std::string(rest.substr(from, dot + 4 - from));
    });
    return found;
}

} // namespace pelorix
