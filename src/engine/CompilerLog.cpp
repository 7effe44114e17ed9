#include "engine/CompilerLog.h"

#include "platform/CodePage.h"
#include "platform/DriveMap.h"
#include "platform/HostFile.h"
#include "platform/RuntimeError.h"
#include "platform/Text.h"
#include "platform/Win32Error.h"

#include <array>
#include <deque>
#include <optional>

namespace pelorix {

namespace {

// A line longer than this is read in pieces of about this size.
constexpr std::size_t PieceBytes = 64 * 1024;

// The texts that decide a log's code, each a bit of what a line holds.
enum LineMark : unsigned { HoldsSuccess = 1, HoldsNotFound = 2, HoldsCompatibility = 4, HoldsError = 8 };

struct MarkText {
    std::string_view text;
    LineMark mark;
};
constexpr std::array<MarkText, 5> MarkTexts = {{{CompilerLogText::Success, HoldsSuccess},
                                                {CompilerLogText::NotFound, HoldsNotFound},
                                                {CompilerLogText::Implements, HoldsCompatibility},
                                                {CompilerLogText::VersionCompatible, HoldsCompatibility},
                                                {CompilerLogText::Error, HoldsError}}};

constexpr std::size_t longestMarkText() {
    std::size_t longest = 0;
    for (const MarkText& m : MarkTexts)
        longest = std::max(longest, m.text.size());
    return longest;
}

// The texts one line holds, found in its pieces as they come: a text that a piece boundary cuts
// is found through the end of the previous piece, which is kept.
class LineScan {
public:
    void add(std::string_view text) {
        m_window.append(text);
        for (const MarkText& m : MarkTexts)
            if (contains(m_window, m.text))
                m_marks |= m.mark;
        constexpr std::size_t keep = longestMarkText() - 1;
        if (m_window.size() > keep)
            m_window.erase(0, m_window.size() - keep);
    }
    unsigned marks() const noexcept { return m_marks; }
    void reset() {
        m_window.clear();
        m_marks = 0;
    }

private:
    std::string m_window;
    unsigned m_marks = 0;
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
        return std::move(m_kept).result(m_code);
    }

private:
    void takePendingPiece(std::size_t size) {
        takePiece(ansiToUtf8(std::string_view(m_pending).substr(0, size)), size);
        m_pending.erase(0, size);
    }

    void takePiece(std::string_view text, std::size_t rawBytes) {
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
        const unsigned marks = m_scan.marks();
        bool decides = true;
        if ((marks & HoldsSuccess) != 0) {
            m_code = BuildResult::Success;
            m_done = true;
        } else if ((marks & HoldsNotFound) != 0) {
            m_code = BuildResult::NotFound;
        } else if ((marks & HoldsCompatibility) != 0) {
            m_code = BuildResult::Compatibility;
        } else if ((marks & HoldsError) != 0 || !m_codeSet) {
            m_code = BuildResult::Error;
        } else {
            decides = false; // an unknown line after one that set the code changes nothing
        }
        m_codeSet = m_codeSet || decides;
        if (m_lineCut)
            m_shown += "(以下省略。この行は" + std::to_string(m_lineBytes) + "ﾊﾞｲﾄです。)";
        m_kept.add(std::move(m_shown), m_lineBytes, decides);
    }

    KeptLines m_kept;
    LineScan m_scan;
    std::string m_pending; // bytes of the current line not yet taken
    std::string m_shown;   // the current line as far as it is kept
    std::uint64_t m_lineBytes = 0;
    bool m_lineCut = false;
    bool m_afterCr = false;
    bool m_done = false;
    bool m_codeSet = false;
    std::int16_t m_code = BuildResult::EmptyLog;
};

CompilerLogReader::CompilerLogReader() : m_state(std::make_unique<State>()) {}
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

CompilerLogResult readCompilerLog(std::string_view windowsPath) {
    const auto host = DriveMap::current().toHost(windowsPath);
    if (!host || windowsPath.empty())
        throw vberr::fromWin32(win32::FileNotFound);
    CompilerLogReader reader;
    const std::int32_t code =
        readHostFileInPieces(*host, [&reader](std::string_view piece) { return reader.add(piece); });
    if (code != 0)
        throw vberr::fromWin32(code);
    return reader.finish();
}

std::string compilerNotEndedText(std::string_view projectName, ProcessWaitEnd end, std::int32_t limitMs,
                                 bool ended) {
    const std::string name(projectName);
    const std::string endedText = ended ? "ｺﾝﾊﾟｲﾗのﾌﾟﾛｾｽを終了させました。" : "";
    switch (end) {
    case ProcessWaitEnd::TimeLimit:
        return name + "のｺﾝﾊﾟｲﾗが" + std::to_string(limitMs) + "ﾐﾘ秒以内に終了しませんでした。" + endedText;
    case ProcessWaitEnd::WaitFailed:
        return name + "のｺﾝﾊﾟｲﾗの終了を待てませんでした。" + endedText;
    case ProcessWaitEnd::Cancelled:
        return name + "のｺﾝﾊﾟｲﾗの終了待ちを中止しました。" + endedText;
    case ProcessWaitEnd::Ended:
        break;
    }
    return {};
}

} // namespace pelorix
