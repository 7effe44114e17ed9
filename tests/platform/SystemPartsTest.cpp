// The shared operations each system defines a part of, checked alike on both systems: the native
// file's operations and the one write loop, host paths by the system's separators, positioned
// reads of regular files only, and the one test of what may start.
#include "platform/CFFile.h"
#include "platform/CFWin32API.h"
#include "platform/HostFile.h"
#include "platform/NativeFile.h"
#include "platform/PositionedFile.h"
#include "platform/Win32Error.h"
#include "support/TestEnvironment.h"

#include <filesystem>
#include <string>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <gtest/gtest.h>

namespace pelorix {
namespace {

using test::readFile;
using test::TestEnvironment;
using test::writeFile;

TEST(NativeFile, TheWriteLoopAndTheHandleOperationsAgree) {
    TestEnvironment env;
    const std::string path = env.path("data/file.bin");
    ASSERT_EQ(appendHostFile(path, "hello "), 0);
    ASSERT_EQ(appendHostFile(path, "world"), 0);

    std::int32_t error = 0;
    std::uint64_t size = 0;
    {
        const UniqueFile reader = openFileForReading(path, error, size);
        ASSERT_TRUE(reader) << error;
        EXPECT_EQ(size, 11u);
        EXPECT_EQ(readFileStart(reader.get(), 5), "hello");
        EXPECT_EQ(readFileStart(reader.get(), 100), "hello world") << "read where the bytes lie";
    } // CFFile shares its file with nobody, on Windows not even with this reader

    // A file open for reading and writing: cut, the next write lands at the cut.
    CFFile file;
    file.OpenFile(TestEnvironment::windowsPath(path));
    const NativeFile handle = file.FileHandle();
    ASSERT_EQ(truncateFile(handle, 5), 0);
    ASSERT_EQ(writeAll(handle, ", you"), 0);
    ASSERT_EQ(flushFile(handle), 0);
    ASSERT_EQ(sizeOfFile(handle, size), 0);
    EXPECT_EQ(size, 10u);
    EXPECT_EQ(seekFile(handle, -1, false), win32::NegativeSeek);
    file.CloseFile();
    EXPECT_EQ(readFile(path), "hello, you");

    UniqueFile owned = openFileForAppending(path, error);
    ASSERT_TRUE(owned);
    EXPECT_EQ(owned.close(), 0);
    EXPECT_FALSE(owned.valid()) << "closed once";
    EXPECT_EQ(owned.close(), 0);
}

struct HostPathCase {
    const char* path;
    std::size_t nameStart;
    const char* folder;
};

TEST(HostPaths, NamesAndFoldersBySystemSeparators) {
    const std::vector<HostPathCase> cases = {
        {"a.vbp", 0, "."},
        {"/a.vbp", 1, "/"},
        {"dir/a.vbp", 4, "dir"},
        {"/d/e/f", 5, "/d/e"},
#ifdef _WIN32
        {"C:\\x\\y.vbp", 5, "C:\\x"},
        {"C:\\y.vbp", 3, "C:\\"},
        {"\\y.vbp", 1, "\\"},
        {"C:\\x/y.vbp", 5, "C:\\x"},
#else
        {"a\\b.vbp", 0, "."}, // a backslash is part of a Linux name
        {"/d/a\\b", 3, "/d"},
#endif
    };
    for (const HostPathCase& c : cases) {
        EXPECT_EQ(hostNameStart(c.path), c.nameStart) << c.path;
        EXPECT_EQ(hostFolderOf(c.path), c.folder) << c.path;
    }
}

TEST(PositionedFile, ReadsRegularFilesOnlyAtAnyOffset) {
    TestEnvironment env;
    const std::string path = env.path("data/lib.tlb");
    writeFile(path, "0123456789");
    const auto file = PositionedFile::open(path);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->size(), 10u);
    char bytes[4] = {};
    ASSERT_TRUE(file->read(6, 4, bytes));
    EXPECT_EQ(std::string(bytes, 4), "6789");
    EXPECT_FALSE(file->read(8, 4, bytes)) << "past the end";

    EXPECT_EQ(PositionedFile::open(env.path("data")), nullptr) << "a folder";
    EXPECT_EQ(PositionedFile::open(env.path("data/none.tlb")), nullptr);
    EXPECT_EQ(PositionedFile::open(""), nullptr);
#ifdef _WIN32
    EXPECT_EQ(PositionedFile::open("NUL"), nullptr) << "a device";
#else
    const std::string fifo = env.path("data/pipe.tlb");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(PositionedFile::open(fifo), nullptr) << "a FIFO, at once";
    EXPECT_EQ(PositionedFile::open("/dev/null"), nullptr) << "a device";
#endif
}

TEST(ProgramStart, OneTestOfWhatMayStartOnBothSystems) {
    TestEnvironment env;
    const auto commandOf = [](const std::string& hostProgram) {
        return "\"" + TestEnvironment::windowsPath(hostProgram) + "\" /make \"%1\"";
    };
    const std::string image = env.path("bin/vb6.exe");
    writeFile(image, std::string("MZ\x90\0", 4));
    const std::string text = env.path("bin/readme.txt");
    writeFile(text, "not a program");
#ifdef _WIN32
    const std::string systemProgram = env.path("bin/make.bat");
    writeFile(systemProgram, "@echo off\r\n");
#else
    const std::string systemProgram = env.path("bin/make.sh");
    writeFile(systemProgram, "#!/bin/sh\n");
    std::filesystem::permissions(systemProgram, std::filesystem::perms::owner_all);
#endif

    EXPECT_EQ(programStartProblem(commandOf(image)), "") << "a Windows program";
    EXPECT_EQ(programStartProblem(commandOf(systemProgram)), "") << "one the system runs";
    const std::string problem = programStartProblem(commandOf(text));
    EXPECT_NE(problem.find(" は有効な Win32 アプリケーションではありません。"), std::string::npos) << problem;
    EXPECT_NE(problem.find("readme.txt"), std::string::npos) << "the program is named: " << problem;
    EXPECT_EQ(programStartProblem(commandOf(env.path("bin/missing.exe"))), "")
        << "no such program: that is told where the program is looked for";
}

} // namespace
} // namespace pelorix
