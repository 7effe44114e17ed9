#include "engine/BuildLock.h"

#include "platform/FileKind.h"
#include "platform/RunConditions.h"
#include "platform/Win32Error.h"

namespace pelorix {

namespace {

BuildLockDecision::Refusal refusalOf(const ProgramFolderLock& lock) {
    switch (lock.state()) {
    case ProgramFolderLock::State::Held:
        return BuildLockDecision::Refusal::None;
    case ProgramFolderLock::State::Busy:
        return lock.strayProcess() != 0 ? BuildLockDecision::Refusal::LeftCompiler
                                        : BuildLockDecision::Refusal::OtherBuild;
    case ProgramFolderLock::State::Unavailable:
        break;
    }
    return programFolderProblem() ? BuildLockDecision::Refusal::None : BuildLockDecision::Refusal::CannotOpen;
}

// Why the lock file could not be opened: what its name is, when that is the cause.
std::string openFailure(const ProgramFolderLock& lock, bool japanese) {
    if (lock.lockFileKind() != HostFileKind::Missing)
        return japanese
                   ? "ﾌｧｲﾙではなく" + std::string(hostFileKindTextJapanese(lock.lockFileKind())) + "です。"
                   : "it is " + std::string(hostFileKindText(lock.lockFileKind())) + ", not a regular file";
    return win32::systemMessage(lock.errorCode());
}

} // namespace

std::string BuildLockDecision::text() const {
    switch (refusal) {
    case Refusal::None:
        break;
    case Refusal::OtherBuild:
        return "another build is running in the program folder " + lock.folder();
    case Refusal::LeftCompiler:
        return "a compiler an earlier build left running (process " + std::to_string(lock.strayProcess()) +
               ") is still running in the program folder " + lock.folder();
    case Refusal::CannotOpen:
        return "cannot take the build lock " + lock.path() + ": " + openFailure(lock, false);
    }
    return {};
}

std::string BuildLockDecision::japaneseText() const {
    switch (refusal) {
    case Refusal::None:
        break;
    case Refusal::OtherBuild:
        return "別のﾋﾞﾙﾄﾞが同じﾌﾟﾛｸﾞﾗﾑﾌｫﾙﾀﾞで実行中です。ﾋﾞﾙﾄﾞが終了してから実行してください。\r\n" +
               lock.folder();
    case Refusal::LeftCompiler:
        return "以前のﾋﾞﾙﾄﾞが起動したｺﾝﾊﾟｲﾗ(ﾌﾟﾛｾｽ " + std::to_string(lock.strayProcess()) +
               ")が同じﾌﾟﾛｸﾞﾗﾑﾌｫﾙﾀﾞでまだ実行中です。ｺﾝﾊﾟｲﾗが終了してから実行してください。\r\n" +
               lock.folder();
    case Refusal::CannotOpen:
        return "ﾋﾞﾙﾄﾞのﾛｯｸﾌｧｲﾙを開けないため、ﾋﾞﾙﾄﾞできません。" + openFailure(lock, true) + "\r\n" +
               lock.path();
    }
    return {};
}

BuildLockDecision takeBuildLock(bool wait, const std::function<void(const std::string& why)>& waiting) {
    BuildLockDecision decision{ProgramFolderLock::tryAcquire()};
    decision.refusal = refusalOf(decision.lock);
    const bool held = decision.refusal == BuildLockDecision::Refusal::OtherBuild ||
                      decision.refusal == BuildLockDecision::Refusal::LeftCompiler;
    if (!wait || !held)
        return decision;
    if (waiting)
        waiting(decision.text());
    decision.lock = ProgramFolderLock::acquire();
    decision.refusal = refusalOf(decision.lock);
    return decision;
}

} // namespace pelorix
