// What the build lock does alike on every system: taking it, and the records of compilers that
// earlier runs left running.
#include "platform/ProgramFolderLock.h"

#include "platform/Environment.h"
#include "platform/Numbers.h"
#include "platform/Text.h"

#include <chrono>
#include <thread>
#include <vector>

namespace pelorix {
namespace {

constexpr std::string_view StrayKey = "stray ";
// How much of the lock file is read: the records of the compilers of a few runs.
constexpr std::size_t RecordsLimit = 65536;
// How often a build that waits looks again whether a compiler left running has ended.
constexpr auto StrayPollInterval = std::chrono::milliseconds(200);

} // namespace

ProgramFolderLock ProgramFolderLock::tryAcquire() {
    return take(false);
}

ProgramFolderLock ProgramFolderLock::acquire() {
    return take(true);
}

ProgramFolderLock ProgramFolderLock::take(bool wait) {
    ProgramFolderLock lock;
    lock.m_folder = programFolderHost();
    if (!lock.lockFile(wait))
        return lock;
    // The lock is this run's, unless a compiler an earlier run left running still writes its log.
    while ((lock.m_strayProcess = lock.runningStray()) != 0 && wait)
        std::this_thread::sleep_for(StrayPollInterval);
    if (lock.m_strayProcess != 0) {
        lock.m_state = State::Busy;
        lock.m_file = UniqueFile();
        return lock;
    }
    lock.m_state = State::Held;
    return lock;
}

int ProgramFolderLock::runningStray() const {
    const std::string bytes = readFileStart(m_file.get(), RecordsLimit);
    for (const std::string& line : split(replaceAll(bytes, "\r", ""), '\n')) {
        if (!line.starts_with(StrayKey))
            continue;
        const std::vector<std::string> fields = split(line.substr(StrayKey.size()), ' ');
        const auto processId = fields.empty() ? std::nullopt : longValue(fields[0]);
        if (!processId || fields.size() < 2)
            continue;
        StrayRecord record{*processId, 0};
        try {
            record.startTime = std::stoull(fields[1]);
        } catch (...) {
            continue;
        }
        if (record.processId > 1 && strayStillRuns(record))
            return record.processId;
    }
    if (!bytes.empty())
        static_cast<void>(truncateFile(m_file.get(), 0));
    return 0;
}

bool ProgramFolderLock::appendToLockFile(const std::string& line) {
    const UniqueFile file = openForRecords(programFolderHost() + "/" + std::string(FileName), true);
    return file.valid() && writeAll(file.get(), line) == 0;
}

void ProgramFolderLock::rewriteLockFile(const std::function<std::string(const std::string&)>& edit) {
    const UniqueFile file = openForRecords(programFolderHost() + "/" + std::string(FileName), false);
    if (!file.valid())
        return;
    const std::string bytes = readFileStart(file.get(), RecordsLimit);
    const std::string edited = edit(bytes);
    if (edited == bytes || truncateFile(file.get(), 0) != 0)
        return;
    static_cast<void>(writeAll(file.get(), edited));
}

bool ProgramFolderLock::recordStrayProcess(int processId) {
    const auto started = processStartTime(processId);
    if (!started)
        return true; // it has ended already
    return appendToLockFile(std::string(StrayKey) + std::to_string(processId) + " " +
                            std::to_string(*started) + "\n");
}

void ProgramFolderLock::forgetProcess(int processId) {
    const std::string prefix = std::string(StrayKey) + std::to_string(processId) + " ";
    rewriteLockFile([&prefix](const std::string& bytes) {
        std::string kept;
        for (const std::string& line : split(replaceAll(bytes, "\r", ""), '\n'))
            if (!line.empty() && !line.starts_with(prefix))
                kept += line + "\n";
        return kept;
    });
}

void ProgramFolderLock::release() noexcept {
    m_file = UniqueFile(); // closing the file ends the lock
    if (m_state == State::Held)
        m_state = State::Unavailable;
}

} // namespace pelorix
