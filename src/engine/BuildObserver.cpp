#include "engine/BuildObserver.h"

namespace pelorix {

void ObservedBuildLog::appendLine(const std::string& line) {
    for (IBuildObserver* observer : m_observers)
        observer->buildLogLine(line);
    m_log.appendLine(line);
}

void ObservedBuildLog::appendLines(const std::vector<std::string>& lines) {
    for (const std::string& line : lines)
        if (!line.empty())
            for (IBuildObserver* observer : m_observers)
                observer->buildLogLine(line);
    m_log.appendLines(lines);
}

} // namespace pelorix
