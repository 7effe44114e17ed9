#include "platform/CCCommon.h"
#include "platform/CFWin32API.h"
#include "platform/HostFile.h"
#include "support/TestEnvironment.h"
#include "support/TestOs.h"

#include <cstdlib>

#include <gtest/gtest.h>

namespace pelorix {
namespace {

using test::TestEnvironment;

struct Canon {
    const char* in;
    const char* out;
};

class PathCanonicalize : public ::testing::TestWithParam<Canon> {};

TEST_P(PathCanonicalize, ResolvesDotSegments) {
    TestEnvironment env;
    EXPECT_EQ(CFWin32API().fPathCanonicalize(GetParam().in), GetParam().out) << GetParam().in;
    EXPECT_EQ(env.errorLog(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Vectors, PathCanonicalize,
    ::testing::Values(
        Canon{"", R"(\)"}, Canon{" ", " "}, Canon{R"(C:\)", R"(C:\)"}, Canon{R"(one\two)", R"(one\two)"},
        Canon{R"(C:\one\.\..\two\three\..)", R"(C:\two)"}, Canon{R"(C:\..)", R"(C:\)"},
        Canon{R"(C:\..\..)", R"(C:\)"}, Canon{R"(A:\name_1\.\name_2\..\name_3)", R"(A:\name_1\name_3)"},
        Canon{R"(A:\name_1\..\name_2\.\name_3)", R"(A:\name_2\name_3)"},
        Canon{R"(A:\name_1\name_2\.\name_3\..\name_4)", R"(A:\name_1\name_2\name_4)"},
        Canon{R"(A:\name_1\.\name_2\.\name_3\..\name_4\..)", R"(A:\name_1\name_2)"},
        // "/" is an ordinary character.
        Canon{R"(C:\one/two/three\four/five\six)", R"(C:\one/two/three\four/five\six)"},
        Canon{R"(C:\one/.\two)", R"(C:\one/.\two)"}, Canon{R"(C:\one/.\two\..)", R"(C:\one/)"},
        Canon{"../../one/two/", "../../one/two/"}, Canon{R"(../../one/two/\*)", R"(../../one/two/\*)"},
        Canon{R"(C:\one/.\..\two/three\..\four/.five)", R"(C:\four/.five)"},
        Canon{R"(C:\proj\sub\..\..\lib\a.vbp)", R"(C:\lib\a.vbp)"}, Canon{R"(C:\a\..\..\b)", R"(C:\b)"},
        Canon{R"(\a\..\..\b)", R"(\b)"}, Canon{R"(\\server\share\x\..)", R"(\\server\share)"},
        Canon{R"(\\server\share\..)", R"(\\server)"}, Canon{R"(\\server\share\..\..\y)", R"(\\server\y)"},
        Canon{R"(.\x)", "x"}, Canon{R"(..\x)", R"(..\x)"}, Canon{R"(..\..\x)", R"(..\..\x)"},
        Canon{R"(a\..\b)", "b"}, Canon{R"(C:\a\b\.)", R"(C:\a\b)"}, Canon{R"(C:\a\b.)", R"(C:\a\b)"},
        Canon{R"(C:\a\..b)", R"(C:\a\..b)"}, Canon{R"(C:\a\\b)", R"(C:\a\\b)"},
        Canon{R"(C:\a\b\)", R"(C:\a\b\)"}, Canon{R"(C:\a\b\..\)", R"(C:\a\)"}, Canon{R"(\\s\..\)", R"(\\s)"},
        // "ソ" and "表" end in the byte of "\" in CP932: they must not split.
        Canon{R"(C:\ソ\..\x)", R"(C:\x)"}, Canon{R"(C:\表示\ソース\..\a.frm)", R"(C:\表示\a.frm)"}));

TEST(PathCanonicalize, AFullBufferFailsWithALogLineAndNoError) {
    TestEnvironment env;
    CFWin32API api;
    const std::string fits = "C:\\" + std::string(256, 'a');    // 259 bytes
    const std::string tooLong = "C:\\" + std::string(257, 'a'); // 260 bytes
    const std::string wideTooLong = "C:\\" + std::string(130, 'a') + [] {
        std::string s;
        for (int i = 0; i < 64; ++i)
            s += "漢"; // two bytes each in CP932: 3 + 130 + 128 = 261 bytes, 197 characters
        return s;
    }();
    EXPECT_EQ(api.fPathCanonicalize(fits), fits);
    EXPECT_EQ(env.errorLog(), "");
    EXPECT_EQ(api.fPathCanonicalize(tooLong), "");
    EXPECT_EQ(api.ErrNumber(), 206);
    EXPECT_EQ(api.ErrProcName(), "fPathCanonicalize");
    EXPECT_NE(env.errorLog().find("fPathCanonicalize"), std::string::npos);
    EXPECT_EQ(api.fPathCanonicalize(wideTooLong), "");
}

TEST(QuoteSpaces, QuotesAnySpaceButNothingTooLong) {
    TestEnvironment env;
    CFWin32API api;
    EXPECT_EQ(api.QuoteSpaces(R"(C:\Program Files\x.exe)"), R"("C:\Program Files\x.exe")");
    EXPECT_EQ(api.QuoteSpaces(R"(C:\x.exe)"), R"(C:\x.exe)");
    EXPECT_EQ(api.QuoteSpaces(""), "");
    EXPECT_EQ(api.QuoteSpaces("a\tb"), "a\tb");
    EXPECT_EQ(api.QuoteSpaces(R"("a b")"), R"(""a b"")");
    const std::string p256 = "C:\\ " + std::string(252, 'a');
    const std::string p257 = p256 + "a";
    EXPECT_EQ(api.QuoteSpaces(p256), "\"" + p256 + "\"");
    EXPECT_EQ(api.QuoteSpaces(p257), p257);
    EXPECT_EQ(api.QuoteSpaces(p257 + std::string(300, 'b')), p257 + std::string(300, 'b'));
    EXPECT_EQ(CCCommon().fGetQuoteSpacesPath(R"(C:\日本 語)"), R"("C:\日本 語")");
}

TEST(CCCommon, EmptinessAndNumbers) {
    CCCommon c;
    EXPECT_TRUE(c.fIsNull(""));
    EXPECT_TRUE(c.fIsNull("   "));
    EXPECT_TRUE(c.fIsNull(std::string_view(" \0 ", 3)));
    EXPECT_FALSE(c.fIsNull(std::string_view("\0\0", 2)));
    EXPECT_FALSE(c.fIsNull(" a "));
    EXPECT_FALSE(c.fIsNull("\t"));

    for (const char* yes : {"0", "123", " 42 ", "-5", "5-", "1-2", "-.", ".5", "5.", "-1.5", "1.5-"})
        EXPECT_TRUE(c.fIsNumeric(yes)) << yes;
    for (const char* no :
         {"", "  ", "-", ".", " - ", "1.2.3", "--1", "1-2-", "+1", "1e5", "1 2", "0x1", "１"})
        EXPECT_FALSE(c.fIsNumeric(no)) << no;
}

TEST(CCCommon, DelimiterCount) {
    CCCommon c;
    EXPECT_EQ(c.fDelimiterCount("a,b,,c", ","), 3);
    EXPECT_EQ(c.fDelimiterCount(",,", ",,"), 1);
    EXPECT_EQ(c.fDelimiterCount(",,,", ",,"), 1);
    EXPECT_EQ(c.fDelimiterCount("a,b", ""), 0);
    EXPECT_EQ(c.fDelimiterCount("a b c", " "), 0);
    EXPECT_EQ(c.fDelimiterCount("", ","), 0);
    EXPECT_EQ(c.fDelimiterCount(" ,a, ", ","), 2);
    EXPECT_EQ(c.fDelimiterCount("aXbxc", "x"), 1);
    EXPECT_EQ(c.fDelimiterCount("表,示,ソ", ","), 2);
}

TEST(CCCommon, CheckPathTellsFilesFromFolders) {
    TestEnvironment env;
    test::writeFile(env.driveC() + "/Proj/a.vbp", "x");
    CCCommon c;
    EXPECT_TRUE(c.fCheckPath(R"(C:\Proj\a.vbp)", vbNormal));
    EXPECT_TRUE(c.fCheckPath(R"(C:\proj)", vbDirectory));
    EXPECT_FALSE(c.fCheckPath(R"(C:\Proj\a.vbp)", vbDirectory));
    EXPECT_FALSE(c.fCheckPath(R"(C:\Proj)", vbNormal));
    EXPECT_FALSE(c.fCheckPath(R"(C:\Proj)", 1));
    EXPECT_FALSE(c.fCheckPath(R"(C:\Proj\a.vbp)", 32));
    EXPECT_FALSE(c.fCheckPath("  ", vbDirectory));
    EXPECT_FALSE(c.fCheckPath(R"( C:\Proj\a.vbp)", vbNormal)); // not trimmed
}

TEST(CCCommon, PathPieces) {
    TestEnvironment env;
    CCCommon c;
    EXPECT_EQ(c.fGetAbsolutePath("   "), "");
    EXPECT_EQ(c.fGetAbsolutePath(R"(  C:\proj\..\lib\.\x.bas )"), R"(C:\lib\x.bas)");
    EXPECT_EQ(c.fGetParentDirPath(R"(C:\proj\a.vbp)"), R"(C:\proj)");
    EXPECT_EQ(c.fGetParentDirPath(""), "");
    EXPECT_EQ(c.fGetDriveName(R"(d:\x)"), "d:");
    EXPECT_EQ(c.fGetDriveName(R"(\\srv\share\x)"), R"(\\srv\share)");
    EXPECT_EQ(c.fGetDriveName(" "), "");
    EXPECT_EQ(c.fPathSkipRoot(R"( C:\proj\a.vbp )"), R"(\proj\a.vbp)");
    EXPECT_EQ(c.fPathSkipRoot("C:"), "");
    for (const char* none : {R"(\\srv\share\x)", "C", R"(proj\a.vbp)", "", "   "})
        EXPECT_EQ(c.fPathSkipRoot(none), "") << none;
}

TEST(CCCommon, EnumDrivePathListsTheMappedDrives) {
    TestEnvironment env;
    env.mapDrive('d', env.path("d"));
    CCCommon c;
    std::vector<std::string> drives{"old"};
    EXPECT_EQ(c.fEnumDrivePath(drives), 3);
    EXPECT_EQ(drives, (std::vector<std::string>{"C:", "D:", "Z:"}));
}

class ReplaceEnviron : public ::testing::Test {
protected:
    void SetUp() override {
        pelorix::test::setEnvironment("PX_SHORT", "s");
        pelorix::test::setEnvironment("PX_LONG", "a-much-longer-value");
        pelorix::test::setEnvironment("PX_PCT", "%PX_SHORT%");
        pelorix::test::unsetEnvironment("PX_UNSET");
    }
    void TearDown() override {
        for (const char* name : {"PX_SHORT", "PX_LONG", "PX_PCT"})
            pelorix::test::unsetEnvironment(name);
    }
    TestEnvironment env;
    CCCommon c;
};

TEST_F(ReplaceEnviron, ExpandsTokensOnce) {
    EXPECT_EQ(c.fReplaceEnviron(R"(C:\plain\path)"), R"(C:\plain\path)");
    EXPECT_EQ(c.fReplaceEnviron("  "), "");
    EXPECT_EQ(c.fReplaceEnviron(R"(%systemroot%\explorer.exe)"), R"(C:\windows\explorer.exe)");
    EXPECT_EQ(c.fReplaceEnviron("[%PX_UNSET%]"), "[]");
    EXPECT_EQ(c.fReplaceEnviron("%PX_SHORT%%PX_LONG%"), "sa-much-longer-value");
    EXPECT_EQ(c.fReplaceEnviron("%px_long%/%PX_SHORT%"), "a-much-longer-value/s");
    EXPECT_EQ(c.fReplaceEnviron("%PX_SHORT% and %PX_SHORT%"), "s and s");
    EXPECT_EQ(c.fReplaceEnviron("50% done"), "50% done");
    EXPECT_EQ(c.fReplaceEnviron("a%PX_SHORT"), "a%PX_SHORT");
    EXPECT_EQ(c.fReplaceEnviron("100%%PX_SHORT%"), "100%%PX_SHORT%");
    // A value is never expanded again, even when it looks like a token.
    EXPECT_EQ(c.fReplaceEnviron("%PX_PCT%"), "%PX_SHORT%");
    EXPECT_EQ(c.fReplaceEnviron("%PX_PCT%|%PX_SHORT%"), "%PX_SHORT%|s");
    EXPECT_EQ(c.fReplaceEnviron("%表示%x"), "x");
}

} // namespace
} // namespace pelorix
