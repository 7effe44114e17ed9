#pragma once

#include <string>
#include <vector>

namespace pelorix {

// The build log window as the core sees it. The window program implements it with its list
// box; the command-line front end prints; tests record.
class IBuildLog {
public:
    virtual ~IBuildLog() = default;
    // Adds one line at the end of the log.
    virtual void appendLine(const std::string& line) = 0;
    // Adds each non-empty element, in order.
    virtual void appendLines(const std::vector<std::string>& lines) = 0;
    // Repaints at once.
    virtual void refresh() {}
};

// A build log that keeps its lines in memory (used by tests and as a base for printers).
class MemoryBuildLog : public IBuildLog {
public:
    void appendLine(const std::string& line) override { m_lines.push_back(line); }
    void appendLines(const std::vector<std::string>& lines) override {
        for (const auto& line : lines)
            if (!line.empty())
                appendLine(line);
    }
    const std::vector<std::string>& lines() const noexcept { return m_lines; }
    void clear() noexcept { m_lines.clear(); }

private:
    std::vector<std::string> m_lines;
};

} // namespace pelorix
