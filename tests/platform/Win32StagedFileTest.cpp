// What the staged file promises on Windows as it does on Linux, run under Wine: a symbolic link is
// kept and the file it leads to replaced, the content is flushed before the rename, and a final
// file another program holds is waited for before the rename gives up with the holder's reason.
#include "platform/HostFile.h"
#include "platform/StagedFile.h"
#include "platform/Win32Error.h"
#include "platform/win32/WindowsApi.h"
#include "support/TestEnvironment.h"

#include <chrono>
#include <string>
#include <thread>

#include <gtest/gtest.h>

namespace pelorix {
namespace {

using test::folderEntries;
using test::readFile;
using test::TestEnvironment;
using test::writeFile;

// The host's path of a Windows path under Wine, or "" where there is no Wine.
std::string unixPathOf(const std::string& windowsPath) {
    using ToUnix = char*(__cdecl*)(const wchar_t*);
    const auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
    if (toUnix == nullptr)
        return {};
    char* path = toUnix(winapi::wide(windowsPath).c_str());
    if (path == nullptr)
        return {};
    std::string out(path);
    ::HeapFree(::GetProcessHeap(), 0, path);
    return out;
}

// Makes link a symbolic link to target: through the system, or under Wine (whose call makes none)
// as a link of the host, made by the host's ln, which Wine follows as the system follows a link.
bool makeSymbolicLink(const std::string& target, const std::string& link) {
    constexpr DWORD AllowUnprivileged = 0x2;
    if (::CreateSymbolicLinkW(winapi::wide(link).c_str(), winapi::wide(target).c_str(), AllowUnprivileged) !=
            0 &&
        ::GetFileAttributesW(winapi::wide(link).c_str()) != INVALID_FILE_ATTRIBUTES)
        return true;
    const std::string hostTarget = unixPathOf(target);
    const std::string hostLink = unixPathOf(link);
    if (hostTarget.empty() || hostLink.empty())
        return false;
    std::wstring line = winapi::wide("ln -s \"" + hostTarget + "\" \"" + hostLink + "\"");
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (::CreateProcessW(L"Z:\\bin\\ln", line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                         &started) == 0)
        return false;
    // A host program started by Wine gives no process to wait for: the link itself is waited for.
    const winapi::UniqueHandle process(started.hProcess);
    const winapi::UniqueHandle thread(started.hThread);
    return test::eventually(
        [&link] { return ::GetFileAttributesW(winapi::wide(link).c_str()) != INVALID_FILE_ATTRIBUTES; });
}

// A file opened as another program would hold it: shared for reading and writing, not for
// deletion, so that nothing may replace it while the handle is open.
winapi::UniqueHandle holdFile(const std::string& path, DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE) {
    return winapi::UniqueHandle(::CreateFileW(winapi::wide(path).c_str(), GENERIC_READ, share, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

TEST(Win32StagedFile, ALinkStaysAndTheFileItLeadsToIsReplacedUnlessTheLinkIsTheProgramsOwn) {
    TestEnvironment env;
    const std::string target = env.path("real/Project.vbp");
    const std::string link = env.path("lists/Project.vbp");
    writeFile(target, "old\r\n");
    const bool linked = makeSymbolicLink(target, link);
    if (!linked && unixPathOf(target).empty())
        GTEST_SKIP() << "the system makes no symbolic link for this user";
    ASSERT_TRUE(linked);

    ASSERT_EQ(writeHostFileAtomically(link, "new\r\n"), 0);
    EXPECT_EQ(readFile(target), "new\r\n") << "written where the link leads";
    EXPECT_EQ(readFile(link), "new\r\n");
    EXPECT_EQ(folderEntries(env.path("real")), (std::vector<std::string>{"Project.vbp"}));
    EXPECT_EQ(folderEntries(env.path("lists")), (std::vector<std::string>{"Project.vbp"}));

    // A file the program keeps for itself replaces the link and writes nothing where it leads.
    ASSERT_EQ(replaceOwnFileAtomically(link, "own\r\n"), 0);
    EXPECT_EQ(readFile(link), "own\r\n");
    EXPECT_EQ(readFile(target), "new\r\n");
}

TEST(Win32StagedFile, ContentIsFlushedBeforeTheRenameAndAWriterStillHoldingItBarsTheCommit) {
    TestEnvironment env;
    const std::string file = env.path("data/Project.vbp");
    writeFile(file, "old\r\n");
    std::int32_t error = 0;
    auto staged = StagedFile::create(file, error);
    ASSERT_TRUE(staged) << error;
    {
        // A writer that fills the staged file itself and has not let go of it yet.
        const winapi::UniqueHandle writer(::CreateFileW(winapi::widePath(staged->hostPath()).c_str(),
                                                        GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                                        FILE_ATTRIBUTE_HIDDEN, nullptr));
        ASSERT_TRUE(writer);
        DWORD written = 0;
        ASSERT_NE(::WriteFile(writer.get(), "whole\r\n", 7, &written, nullptr), 0);
        EXPECT_EQ(staged->commit(), win32::SharingViolation) << "what cannot be flushed is not put in place";
        EXPECT_EQ(readFile(file), "old\r\n");
    }
    EXPECT_EQ(staged->commit(), 0);
    EXPECT_EQ(readFile(file), "whole\r\n");
    EXPECT_EQ(folderEntries(env.path("data")), (std::vector<std::string>{"Project.vbp"}));
}

TEST(Win32StagedFile, ARenameWaitsForAProgramHoldingTheFileAndThenFailsWithItsReason) {
    TestEnvironment env;
    const std::string file = env.path("data/Project.vbp");
    writeFile(file, "old\r\n");

    // Let go of while the rename is retried: the new content arrives.
    {
        winapi::UniqueHandle scanner = holdFile(file);
        ASSERT_TRUE(scanner);
        std::thread letGo([&scanner] {
            std::this_thread::sleep_for(std::chrono::milliseconds(StagedFile::RenameRetryLimitMs / 4));
            scanner.reset();
        });
        EXPECT_EQ(writeHostFileAtomically(file, "new\r\n"), 0);
        letGo.join();
        EXPECT_EQ(readFile(file), "new\r\n");
    }

    // Held past the limit: the old content stays, the failure names the hold, nothing is left.
    for (const DWORD share : {DWORD{0}, DWORD{FILE_SHARE_READ | FILE_SHARE_WRITE}}) {
        const winapi::UniqueHandle indexer = holdFile(file, share);
        ASSERT_TRUE(indexer);
        EXPECT_EQ(writeHostFileAtomically(file, "lost\r\n"), win32::SharingViolation) << share;
        EXPECT_EQ(folderEntries(env.path("data")), (std::vector<std::string>{"Project.vbp"})) << share;
    }
    EXPECT_EQ(readFile(file), "new\r\n");
}

} // namespace
} // namespace pelorix
