#include "platform/CFFile.h"

#include "platform/RuntimeError.h"
#include "platform/Win32Error.h"
#include "support/TestEnvironment.h"

#include <csignal>
#include <filesystem>
#include <functional>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

namespace pelorix {
namespace {

using test::fileExists;
using test::readFile;
using test::TestEnvironment;
using test::writeFile;

std::vector<std::uint8_t> bytesOf(std::string_view text) {
    return {text.begin(), text.end()};
}

// The error an operation raises; fails the test when it raises none.
RuntimeError errorOf(const std::function<void()>& operation) {
    try {
        operation();
    } catch (const RuntimeError& e) {
        return e;
    }
    ADD_FAILURE() << "no error was raised";
    return RuntimeError(-1, "none");
}

TEST(CFFile, OpeningAMissingFileCreatesItEmpty) {
    TestEnvironment env;
    std::filesystem::create_directories(env.driveC() + "/Proj");
    CFFile file;
    EXPECT_FALSE(file.IsOpen());
    file.OpenFile("C:\\Proj\\new.bak");
    EXPECT_TRUE(file.IsOpen());
    EXPECT_EQ(file.FileName(), "C:\\Proj\\new.bak");
    EXPECT_NE(file.FileHandle(), CFFile::InvalidHandle);
    EXPECT_EQ(file.FileSize(), 0);
    EXPECT_TRUE(fileExists(env.driveC() + "/Proj/new.bak")) << "the folder existed, so the file is made";
}

TEST(CFFile, CopiesBytesInChunksAndReadsZerosPastTheEnd) {
    TestEnvironment env;
    writeFile(env.driveC() + "/a.vbp", "0123456789");
    CFFile file;
    file.OpenFile("C:\\A.VBP");
    EXPECT_EQ(file.FileSize(), 10);
    EXPECT_EQ(file.ReadBytes(4), bytesOf("0123"));
    file.SeekAbsolute(0, 6);
    EXPECT_EQ(file.ReadBytes(10), bytesOf(std::string("6789") + std::string(6, '\0')));

    // An array with indices 5 to 9 writes its 5 bytes.
    const std::vector<std::uint8_t> array = bytesOf("-----ABCDE");
    file.SeekAbsolute(0, 2);
    file.WriteBytes(std::span(array).subspan(5, 5));
    file.SeekRelative(-2);
    EXPECT_EQ(file.ReadBytes(3), bytesOf("DE7"));
    file.AutoFlush(true);
    EXPECT_TRUE(file.AutoFlush());
    file.WriteBytes(bytesOf("!"));
    file.CloseFile();
    EXPECT_EQ(readFile(env.driveC() + "/a.vbp"), "01ABCDE7!9");
}

TEST(CFFile, ClosedObjectRefusesEverythingButOpenIsOpenAndBufferSize) {
    TestEnvironment env;
    CFFile file;
    file.BufferSize(4096);
    EXPECT_EQ(file.BufferSize(), 4096);

    SetLastError(0);
    const RuntimeError let = errorOf([&] { file.AutoFlush(true); });
    EXPECT_EQ(let.source(), "CFFile");
    EXPECT_EQ(let.number(), win32::InvalidHandle) << "a misuse never reports success";
    EXPECT_EQ(let.description(), win32::systemMessage(win32::InvalidHandle));
    EXPECT_EQ(file.ErrNumber(), win32::InvalidHandle);
    EXPECT_EQ(file.ErrProcName(), "AutoFlush [PropertyLet]");
    EXPECT_NE(env.errorLog().find("\"AutoFlush [PropertyLet]\", \"CFFile\"\r\n"), std::string::npos);

    file.OpenFile("C:\\x.bin");
    file.CloseFile();
    EXPECT_FALSE(file.IsOpen());
    const std::pair<const char*, std::function<void()>> refused[] = {
        {"FileName [PropertyGet]", [&] { file.FileName(); }},
        {"FileHandle [PropertyGet]", [&] { file.FileHandle(); }},
        {"AutoFlush [PropertyGet]", [&] { file.AutoFlush(); }},
        {"ReadBytes", [&] { file.ReadBytes(1); }},
        {"WriteBytes", [&] { file.WriteBytes(bytesOf("x")); }},
        {"Flush", [&] { file.Flush(); }},
        {"SeekAbsolute", [&] { file.SeekAbsolute(0, 0); }},
        {"SeekRelative", [&] { file.SeekRelative(0); }},
        {"FileSize", [&] { file.FileSize(); }},
        {"CloseFile", [&] { file.CloseFile(); }},
    };
    const std::size_t linesBefore = env.errorLogLines().size();
    for (const auto& [operation, call] : refused) {
        const RuntimeError e = errorOf(call);
        EXPECT_EQ(e.source(), "CFFile") << operation;
        EXPECT_NE(e.number(), 0) << operation;
        EXPECT_EQ(file.ErrProcName(), operation);
        EXPECT_FALSE(file.IsOpen());
    }
    EXPECT_EQ(env.errorLogLines().size(), linesBefore + std::size(refused)) << "one log line per failure";
    EXPECT_EQ(errorOf([&] { file.FileSize(); }).number(), win32::InvalidHandle)
        << "the platform call's own code";
}

TEST(CFFile, ASecondOpenOnAnOpenObjectFailsAndKeepsTheFirstFile) {
    TestEnvironment env;
    CFFile file;
    file.OpenFile("C:\\first.bin");
    const RuntimeError e = errorOf([&] { file.OpenFile("C:\\second.bin"); });
    EXPECT_EQ(file.ErrProcName(), "OpenFile");
    EXPECT_NE(e.number(), 0);
    EXPECT_EQ(file.FileName(), "C:\\first.bin");
    file.WriteBytes(bytesOf("still open"));
    EXPECT_FALSE(fileExists(env.driveC() + "/second.bin"));
}

#ifndef _WIN32 // POSIX permissions, processes and limits
TEST(CFFile, FailedOpensReportTheirWin32CodeAndKeepNothing) {
    TestEnvironment env;
    writeFile(env.driveC() + "/file.txt", "x");
    const std::string readOnly = env.driveC() + "/ro.vbp";
    writeFile(readOnly, "x");
    ::chmod(readOnly.c_str(), 0444);
    const std::pair<const char*, std::int32_t> cases[] = {
        {"C:\\file.txt\\under.bin", win32::PathNotFound},
        {"C:\\missing\\new.bin", win32::PathNotFound},
        {"C:\\ro.vbp", win32::AccessDenied},
        {"C:\\", win32::AccessDenied},
        {"", win32::PathNotFound},
    };
    for (const auto& [path, code] : cases) {
        CFFile file;
        const RuntimeError e = errorOf([&] { file.OpenFile(path); });
        EXPECT_EQ(e.number(), code) << path;
        EXPECT_EQ(e.description(), win32::systemMessage(code)) << path;
        EXPECT_EQ(file.ErrProcName(), "OpenFile");
        EXPECT_FALSE(file.IsOpen());
    }
}

TEST(CFFile, AnOpenFileIsNotShared) {
    TestEnvironment env;
    CFFile first;
    first.OpenFile("C:\\shared.vbp");
    CFFile second;
    const RuntimeError e = errorOf([&] { second.OpenFile("c:\\SHARED.VBP"); });
    EXPECT_EQ(e.number(), win32::SharingViolation);
    EXPECT_EQ(e.description(), "プロセスはファイルにアクセスできません。別のプロセスが使用中です。");

    // Another process is kept out too.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        CFFile other;
        try {
            other.OpenFile("C:\\shared.vbp");
            ::_exit(0);
        } catch (const RuntimeError& error) {
            ::_exit(error.number());
        }
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), win32::SharingViolation);

    // Closing (or destroying) the holder lets the next opener in.
    first.CloseFile();
    second.OpenFile("C:\\shared.vbp");
    {
        CFFile moved = std::move(second);
        EXPECT_FALSE(second.IsOpen());
        EXPECT_TRUE(moved.IsOpen());
    }
    first.OpenFile("C:\\shared.vbp");
}

TEST(CFFile, ASharedFileHeldByAnotherProcessCannotBeOpened) {
    TestEnvironment env;
    int toParent[2];
    int toChild[2];
    ASSERT_EQ(::pipe(toParent), 0);
    ASSERT_EQ(::pipe(toChild), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        CFFile holder;
        holder.OpenFile("C:\\held.vbp");
        char c = 'o';
        (void)!::write(toParent[1], &c, 1);
        (void)!::read(toChild[0], &c, 1); // hold the file until the parent has tried
        ::_exit(0);
    }
    char c = 0;
    ASSERT_EQ(::read(toParent[0], &c, 1), 1);
    CFFile file;
    EXPECT_EQ(errorOf([&] { file.OpenFile("C:\\held.vbp"); }).number(), win32::SharingViolation);
    ASSERT_EQ(::write(toChild[1], &c, 1), 1);
    int status = 0;
    ::waitpid(child, &status, 0);
    for (int fd : {toParent[0], toParent[1], toChild[0], toChild[1]})
        ::close(fd);
    file.OpenFile("C:\\held.vbp");
}

TEST(CFFile, WriteOnAFullDiskFailsWithItsCode) {
    TestEnvironment env;
    CFFile file;
    file.OpenFile("Z:\\dev\\full");
    const RuntimeError e = errorOf([&] { file.WriteBytes(bytesOf("backup copy")); });
    EXPECT_EQ(e.number(), win32::DiskFull);
    EXPECT_EQ(e.description(), "ディスクに十分な空き領域がありません。");
    EXPECT_EQ(file.ErrProcName(), "WriteBytes");
}

// A short write: the first bytes fit under the file size limit, the rest do not.
TEST(CFFile, AShortWriteIsAFailureNotACompleteCopy) {
    TestEnvironment env;
    CFFile file;
    file.OpenFile("C:\\copy.org");
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved;
    limit.rlim_cur = 1000;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const RuntimeError e = errorOf([&] { file.WriteBytes(std::vector<std::uint8_t>(4096, 'x')); });
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(e.number(), win32::DiskFull);
    EXPECT_EQ(file.FileSize(), 1000);
}

#endif

TEST(CFFile, SizesAndPositionsOutsideTheirRangeFail) {
    TestEnvironment env;
    const std::string host = env.driveC() + "/huge.bin";
    writeFile(host, "");
    std::filesystem::resize_file(host, (std::uintmax_t{4} << 30) + 100);
    CFFile file;
    file.OpenFile("C:\\huge.bin");
    const RuntimeError e = errorOf([&] { file.FileSize(); });
    EXPECT_NE(e.number(), 0) << "a 4 GiB + 100 byte file is not 100 bytes long";
    EXPECT_EQ(file.ErrProcName(), "FileSize");
    file.SeekAbsolute(1, 2);
    EXPECT_EQ(file.ReadBytes(1), std::vector<std::uint8_t>{0});
    file.SeekAbsolute(0, 0);
    EXPECT_EQ(errorOf([&] { file.SeekRelative(-1); }).number(), win32::NegativeSeek);
    EXPECT_THROW(file.ReadBytes(0), RuntimeError);
}

} // namespace
} // namespace pelorix
