#include "platform/FileSystemObject.h"

#include "platform/RuntimeError.h"
#include "support/TestEnvironment.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

namespace pelorix {
namespace {

using test::TestEnvironment;
using test::writeFile;

TEST(FileSystemObject, ExistenceTellsFilesFromFolders) {
    TestEnvironment env;
    writeFile(env.driveC() + "/Proj/a.vbp", "x");
    FileSystemObject fso;
    EXPECT_TRUE(fso.FileExists("C:\\proj\\A.VBP"));
    EXPECT_FALSE(fso.FileExists("C:\\Proj"));
    EXPECT_TRUE(fso.FolderExists("c:\\PROJ"));
    EXPECT_FALSE(fso.FolderExists("C:\\Proj\\a.vbp"));
    EXPECT_FALSE(fso.FileExists(""));
    EXPECT_FALSE(fso.FileExists("Q:\\a.vbp"));
}

TEST(FileSystemObject, DeleteFileRespectsReadOnlyUnlessForced) {
    TestEnvironment env;
    const std::string host = env.driveC() + "/ro.txt";
    writeFile(host, "x");
    ::chmod(host.c_str(), 0444);
    FileSystemObject fso;
    try {
        fso.DeleteFile("C:\\ro.txt", false);
        FAIL();
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), 70);
    }
    EXPECT_TRUE(fso.FileExists("C:\\ro.txt"));
    fso.DeleteFile("C:\\ro.txt", true);
    EXPECT_FALSE(fso.FileExists("C:\\ro.txt"));
    try {
        fso.DeleteFile("C:\\ro.txt", true);
        FAIL();
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), 53);
    }
}

TEST(FileSystemObject, SizeOfAFile) {
    TestEnvironment env;
    writeFile(env.driveC() + "/s.log", "12345");
    FileSystemObject fso;
    EXPECT_EQ(fso.GetFileSize("C:\\s.log"), 5);
    EXPECT_THROW(fso.GetFileSize("C:\\none.log"), RuntimeError);
}

struct PathCase {
    const char* path;
    const char* parent;
    const char* drive;
};

class FsoPathHelpers : public ::testing::TestWithParam<PathCase> {};

TEST_P(FsoPathHelpers, ParentAndDrive) {
    EXPECT_EQ(FileSystemObject::GetParentFolderName(GetParam().path), GetParam().parent);
    EXPECT_EQ(FileSystemObject::GetDriveName(GetParam().path), GetParam().drive);
}

INSTANTIATE_TEST_SUITE_P(
    Vectors, FsoPathHelpers,
    ::testing::Values(PathCase{"C:\\a\\b.txt", "C:\\a", "C:"}, PathCase{"C:\\a\\", "C:\\", "C:"},
                      PathCase{"C:\\a\\b\\\\", "C:\\a", "C:"}, PathCase{"C:\\", "", "C:"},
                      PathCase{"C:", "", "C:"}, PathCase{"a\\b", "a", ""}, PathCase{"b", "", ""},
                      PathCase{"\\\\server\\share\\x", "\\\\server\\share", "\\\\server\\share"},
                      PathCase{"\\\\server\\share", "\\\\server", "\\\\server\\share"}, PathCase{"", "", ""},
                      PathCase{"C:/a/b.txt", "C:/a", "C:"}, PathCase{"a/a//\\\\", "a", ""},
                      PathCase{"c:\\\\a", "c:\\", "c:"}, PathCase{"ac:\\a", "ac:", ""},
                      PathCase{"\\a", "", ""}, PathCase{"OO:", "", ""}, PathCase{":", "", ""}));

TEST(FileSystemObject, DrivesInAlphabeticalOrder) {
    TestEnvironment env;
    env.mapDrive('e', env.root());
    const auto drives = FileSystemObject().Drives();
    ASSERT_EQ(drives.size(), 3u);
    EXPECT_EQ(drives[0], "C:");
    EXPECT_EQ(drives[1], "E:");
    EXPECT_EQ(drives[2], "Z:");
}

} // namespace
} // namespace pelorix
