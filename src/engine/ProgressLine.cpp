#include "engine/ProgressLine.h"

#include "engine/BuildWindows.h"
#include "platform/CodePage.h"

#include <ostream>

namespace pelorix {

namespace {

constexpr std::string_view EraseLine = "\r\x1b[K";

bool isWide(char32_t c) {
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) || (c >= 0x3041 && c <= 0x33FF) ||
           (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
           (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

// Walks the characters of a text with their widths; a byte that starts no character counts as
// one column, as a terminal shows it.
template <class Visit>
void forEachCharacter(std::string_view text, Visit&& visit) {
    for (std::size_t i = 0; i < text.size();) {
        char32_t c = 0;
        const std::size_t length = std::max<std::size_t>(utf8SequenceAt(text, i, c), 1);
        if (!visit(i, length, isWide(c) ? 2 : 1))
            return;
        i += length;
    }
}

} // namespace

std::int32_t displayWidth(std::string_view text) {
    std::int32_t width = 0;
    forEachCharacter(text, [&](std::size_t, std::size_t, std::int32_t columns) {
        width += columns;
        return true;
    });
    return width;
}

std::string cutToWidth(std::string_view text, std::int32_t columns) {
    std::size_t end = 0;
    std::int32_t width = 0;
    forEachCharacter(text, [&](std::size_t at, std::size_t length, std::int32_t characterColumns) {
        if (width + characterColumns > columns)
            return false;
        width += characterColumns;
        end = at + length;
        return true;
    });
    return std::string(text.substr(0, end));
}

ProgressLine::ProgressLine(std::ostream& terminal, std::int32_t columns, Clock clock, Erase erase)
    : m_terminal(terminal), m_columns(columns), m_clock(std::move(clock)), m_erase(erase) {}

void ProgressLine::runStarted(std::int32_t targetCount) {
    m_start = m_clock();
    m_running = true;
    m_total = targetCount;
    m_done = 0;
}

void ProgressLine::projectStarted(const ObservedProject& project) {
    m_project = project.name;
    m_mode = compatibleModeName(project.ownMode);
    m_compiles = 0;
    draw();
}

void ProgressLine::compileStarted(std::int16_t mode) {
    ++m_compiles;
    m_mode = compatibleModeName(mode);
    draw();
}

void ProgressLine::projectCancelled() {
    ++m_done;
    m_project.clear();
}

void ProgressLine::projectEnded(std::int16_t /*result*/) {
    ++m_done;
    m_project.clear();
    draw();
}

void ProgressLine::runEnded(std::int16_t /*result*/) {
    clear();
    m_running = false;
}

void ProgressLine::processEvents() {
    if (m_running && text() != m_shownText)
        draw();
}

std::string ProgressLine::elapsed() const {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(m_clock() - m_start).count();
    const auto twoDigits = [](long long n) { return (n < 10 ? "0" : "") + std::to_string(n); };
    if (seconds >= 3600)
        return std::to_string(seconds / 3600) + ":" + twoDigits(seconds / 60 % 60) + ":" +
               twoDigits(seconds % 60);
    return std::to_string(seconds / 60) + ":" + twoDigits(seconds % 60);
}

std::string ProgressLine::text() const {
    std::string line = "[" + std::to_string(m_done) + "/" + std::to_string(m_total) + "] ";
    if (!m_project.empty()) {
        line += (m_compiles > 1 ? "rebuilding " : "building ") + m_project;
        if (!m_mode.empty())
            line += " in " + m_mode;
        line += "  ";
    }
    return line + elapsed();
}

void ProgressLine::eraseShown() {
    if (m_erase == Erase::Escape)
        m_terminal << EraseLine;
    else if (m_shown)
        m_terminal << '\r' << std::string(static_cast<std::size_t>(m_shownWidth), ' ') << '\r';
    else
        m_terminal << '\r';
}

void ProgressLine::clear() {
    if (!m_shown)
        return;
    eraseShown();
    m_terminal << std::flush;
    m_shown = false;
}

void ProgressLine::draw() {
    if (!m_running)
        return;
    m_shownText = text();
    // The last column stays free: a terminal that wraps at a full line would break the rewrite.
    const std::string shown = cutToWidth(m_shownText, std::max(m_columns - 1, 1));
    eraseShown();
    m_terminal << shown << std::flush;
    m_shownWidth = displayWidth(shown);
    m_shown = true;
}

} // namespace pelorix
