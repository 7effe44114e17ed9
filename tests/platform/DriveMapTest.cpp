#include "platform/DriveMap.h"

#include "platform/Environment.h"
#include "support/TestEnvironment.h"
#include "support/TestOs.h"

#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

namespace pelorix {
namespace {

using test::TestEnvironment;
using test::writeFile;

TEST(DriveMap, MapsDrivesThroughDosdevices) {
    TestEnvironment env;
    writeFile(env.driveC() + "/Program Files/App/app.exe", "MZ");
    const DriveMap& map = DriveMap::current();
    EXPECT_EQ(map.toHost("C:\\Program Files\\App\\app.exe"), env.driveC() + "/Program Files/App/app.exe");
    EXPECT_EQ(map.toHost("z:\\etc"), "/etc");
    EXPECT_FALSE(map.toHost("Q:\\nothing").has_value());
    EXPECT_FALSE(map.toHost("\\\\server\\share\\x").has_value());
}

TEST(DriveMap, LooksUpEachComponentWithoutCase) {
    TestEnvironment env;
    writeFile(env.driveC() + "/Program Files/VB98/VB6.EXE", "MZ");
    EXPECT_EQ(DriveMap::current().toHost("c:\\PROGRAM FILES\\vb98\\vb6.exe"),
              env.driveC() + "/Program Files/VB98/VB6.EXE");
    // A missing component is kept as written, and so is the rest.
    EXPECT_EQ(DriveMap::current().toHost("C:\\program files\\New\\Sub"),
              env.driveC() + "/Program Files/New/Sub");
}

TEST(DriveMap, ResolvesDotSegmentsAndLongPathPrefix) {
    TestEnvironment env;
    writeFile(env.driveC() + "/a/b.txt", "x");
    EXPECT_EQ(DriveMap::current().toHost("\\\\?\\C:\\x\\..\\a\\.\\b.txt"), env.driveC() + "/a/b.txt");
    EXPECT_EQ(DriveMap::current().toHost("C:\\..\\..\\a/b.txt"), env.driveC() + "/a/b.txt");
}

TEST(DriveMap, SixtyFourBitPrefixShowsSyswow64AsSystem32) {
    TestEnvironment env;
    writeFile(env.driveC() + "/windows/syswow64/stdole2.tlb", "32");
    writeFile(env.driveC() + "/windows/system32/stdole2.tlb", "64");
    std::filesystem::create_directories(env.prefix() + "/dosdevices"); // touch the map
    const DriveMap map;                                                // the prefix of the test environment
    EXPECT_EQ(map.toHost("C:\\Windows\\System32\\stdole2.tlb"),
              env.driveC() + "/windows/syswow64/stdole2.tlb");
}

TEST(DriveMap, HostPathsBecomeWindowsPathsDeepestDriveFirst) {
    TestEnvironment env;
    const std::string work = env.path("work/projects");
    std::filesystem::create_directories(work);
    env.mapDrive('d', work);
    const DriveMap& map = DriveMap::current();
    EXPECT_EQ(map.toWindows(env.driveC() + "/windows/x.dll"), "C:\\windows\\x.dll");
    EXPECT_EQ(map.toWindows(work + "/a b/p.vbp"), "D:\\a b\\p.vbp");
    EXPECT_EQ(map.toWindows(work), "D:\\");
    EXPECT_EQ(map.toWindows("/usr/share"), "Z:\\usr\\share");
    ASSERT_EQ(map.drives().size(), 3u);
    EXPECT_EQ(map.drives()[0].letter, "C:");
    EXPECT_EQ(map.drives()[1].letter, "D:");
    EXPECT_EQ(map.drives()[2].letter, "Z:");
}

TEST(DriveMap, APrefixWithoutZHasNoZAndKeepsOtherHostPathsInWinesForm) {
    TestEnvironment env;
    std::filesystem::remove(env.prefix() + "/dosdevices/z:");
    const DriveMap map; // the prefix of the test environment
    ASSERT_EQ(map.drives().size(), 1u);
    EXPECT_EQ(map.drives()[0].letter, "C:");
    EXPECT_FALSE(map.toHost("Z:\\etc").has_value());
    EXPECT_EQ(map.toWindows("/usr/share"), "\\\\?\\unix\\usr\\share");
    EXPECT_EQ(map.toHost("\\\\?\\unix\\usr\\share"), "/usr/share");
    EXPECT_EQ(map.toWindows(env.driveC() + "/x"), "C:\\x");
}

TEST(DriveMap, WithoutPrefixOnlyZExists) {
    TestEnvironment env;
    pelorix::test::setEnvironment("WINEPREFIX", (env.root() + "/missing").c_str());
    const DriveMap& map = DriveMap::current();
    ASSERT_EQ(map.drives().size(), 1u);
    EXPECT_EQ(map.drives()[0].letter, "Z:");
    EXPECT_EQ(map.toHost("Z:\\tmp"), "/tmp");
    std::string expected = "Z:" + env.home();
    std::replace(expected.begin(), expected.end(), '/', '\\');
    EXPECT_EQ(App_Path(), expected);
}

} // namespace
} // namespace pelorix
