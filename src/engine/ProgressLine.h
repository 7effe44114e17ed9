#pragma once

#include "engine/BuildObserver.h"
#include "platform/UserInterface.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>

namespace pelorix {

// The one line a build run shows on a terminal and rewrites in place: the projects done of the
// total, the project being built and its mode, the time since the run began:
//
//   [2/5] building Alpha in ﾊﾞｲﾅﾘ互換  0:42
//
// It observes the run, and is the run's event pump, which the engine calls while it waits for
// the compiler, so that the time moves on during a long compile. The line never wraps: it is cut
// to the terminal's width. Whoever prints other lines to the same terminal clears it first and
// draws it again afterwards; the run's end erases it.
class ProgressLine final : public IBuildObserver, public IEventPump {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    // How the line is erased: by the terminal's escape sequence, or, on a console that takes no
    // escape sequences, by writing blanks over what it showed.
    enum class Erase { Escape, Blanks };

    ProgressLine(std::ostream& terminal, std::int32_t columns, Clock clock = std::chrono::steady_clock::now,
                 Erase erase = Erase::Escape);

    void runStarted(std::int32_t targetCount) override;
    void projectStarted(const ObservedProject& project) override;
    void compileStarted(std::int16_t mode) override;
    void projectCancelled() override;
    void projectEnded(std::int16_t result) override;
    void runEnded(std::int16_t result) override;

    // Draws the line again when the time it shows has moved on.
    void processEvents() override;

    // Erases the line, if it is shown, so that another line can be printed in its place.
    void clear();
    // Shows the line again (nothing before the run began or after it ended).
    void draw();

    // The text of the line as it is now, before it is cut to the terminal.
    std::string text() const;

private:
    std::string elapsed() const;
    // Takes the cursor back to the line's start, erasing what the line showed.
    void eraseShown();

    std::ostream& m_terminal;
    std::int32_t m_columns;
    Clock m_clock;
    Erase m_erase;
    std::chrono::steady_clock::time_point m_start{};
    bool m_running = false;
    bool m_shown = false;
    std::string m_shownText;
    std::int32_t m_shownWidth = 0; // the columns the line takes on the terminal
    std::int32_t m_total = 0;
    std::int32_t m_done = 0;
    std::string m_project;
    std::string m_mode;
    std::int32_t m_compiles = 0; // of the current project; the second and later are rebuilds
};

// The number of terminal columns a text takes: two for the wide characters of East Asian
// scripts, one for the others (half-width katakana included).
std::int32_t displayWidth(std::string_view text);

// The text cut to at most the given number of columns, whole characters only.
std::string cutToWidth(std::string_view text, std::int32_t columns);

} // namespace pelorix
