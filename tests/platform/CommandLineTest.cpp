#include "platform/CommandLine.h"

#include <gtest/gtest.h>

namespace pelorix {
namespace {

using Args = std::vector<std::string>;

struct SplitCase {
    const char* line;
    Args expected;
};

class SplitCommandLine : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitCommandLine, GivesTheArgumentsTheSystemGives) {
    EXPECT_EQ(splitCommandLine(GetParam().line), GetParam().expected) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(
    SystemVectors, SplitCommandLine,
    ::testing::Values(
        SplitCase{R"(exe arg1 arg2 "arg three")", {"exe", "arg1", "arg2", "arg three"}},
        SplitCase{R"(exe arg"one" "second"arg thirdarg)", {"exe", "argone", "secondarg", "thirdarg"}},
        SplitCase{R"(exe arg1 "unclosed)", {"exe", "arg1", "unclosed"}},
        SplitCase{R"(exe arg1 ")", {"exe", "arg1", ""}},
        SplitCase{R"(exe o\ne t\\wo t\\\ree)", {"exe", R"(o\ne)", R"(t\\wo)", R"(t\\\ree)"}},
        SplitCase{R"(exe \"one \\"two" \\\"three \\\\"four" end)",
                  {"exe", R"("one)", R"(\two)", R"(\"three)", R"(\\four)", "end"}},
        SplitCase{R"(exe "one\" still" "two\\" "three\\\" still" "four\\\\" end)",
                  {"exe", R"(one" still)", R"(two\)", R"(three\" still)", R"(four\\)", "end"}},
        SplitCase{R"(exe "C:\Mon\Tue\" next)", {"exe", R"(C:\Mon\Tue" next)"}},
        SplitCase{R"(exe "C:\Mon\Tue\\" next)", {"exe", R"(C:\Mon\Tue\)", "next"}},
        SplitCase{R"(exe two""quotes next)", {"exe", "twoquotes", "next"}},
        SplitCase{R"(exe three"""quotes next)", {"exe", R"(three"quotes)", "next"}},
        SplitCase{R"(exe "two""quotes next)", {"exe", R"(two"quotes)", "next"}},
        SplitCase{R"(exe a"b"" c d)", {"exe", R"(ab")", "c", "d"}},
        SplitCase{R"(exe"file"path arg1)", {R"(exe"file"path)", "arg1"}},
        SplitCase{R"("spaced exe" "next arg")", {"spaced exe", "next arg"}},
        SplitCase{R"("spaced exe\"arg1 arg2)", {R"(spaced exe\)", "arg1", "arg2"}},
        SplitCase{R"( "arg"one argtwo)", {"", "argone", "argtwo"}},
        SplitCase{"exe arg=1 three\tfour\rfour\nfour", {"exe", "arg=1", "three", "four\rfour\nfour"}},
        // Runs of quotes: four open a quoted part again, six leave two quotes outside.
        SplitCase{R"(exe """"a b)", {"exe", R"("a b)"}},
        SplitCase{R"(exe """"""a b)", {"exe", R"(""a)", "b"}}, SplitCase{R"(exe "" "")", {"exe", "", ""}},
        SplitCase{"exe   \t ", {"exe"}}, SplitCase{R"("unclosed program name)", {"unclosed program name"}},
        SplitCase{R"(C:\a\b.exe ^%PATH%&|)", {R"(C:\a\b.exe)", "^%PATH%&|"}}, SplitCase{"", {}}));

// Arguments a caller may hand to a program: each must come back exactly from the line we write.
TEST(JoinCommandLine, EveryArgumentComesBackUnchanged) {
    const std::vector<Args> vectors = {
        {R"(C:\Program Files\VB98\VB6.EXE)", "/make", R"(C:\proj\a b.vbp)", "/out", R"(C:\log\x.log)"},
        {"prog", "", " ", "\t", R"(")", R"("")", R"(\)", R"(\\)", R"(a\)", R"(a b\)", R"(a\"b)", R"(\\"\\)"},
        {"prog", R"(a""b)", R"(x"""y)", R"("quoted")", R"(C:\Mon\Tue\)", "tab\there"},
        {"", "empty program name"},
        {R"(C:\日本語\ツール.exe)", "ソ\\表\\能", "全角　スペース", "$(rm -rf x)", "`id`", "a;b|c&d"},
    };
    for (const auto& args : vectors) {
        const std::string line = joinCommandLine(args);
        EXPECT_EQ(splitCommandLine(line), args) << line;
    }
}

TEST(JoinCommandLine, QuotesOnlyWhatNeedsIt) {
    EXPECT_EQ(quoteArgument("plain"), "plain");
    EXPECT_EQ(quoteArgument(R"(C:\a\b)"), R"(C:\a\b)");
    EXPECT_EQ(quoteArgument(""), R"("")");
    EXPECT_EQ(quoteArgument(R"(C:\a b\)"), R"("C:\a b\\")");
    EXPECT_EQ(quoteArgument(R"(say "hi")"), R"("say \"hi\"")");
    EXPECT_EQ(quoteProgramPath(R"(C:\Program Files\x.exe)"), R"("C:\Program Files\x.exe")");
    EXPECT_EQ(quoteProgramPath(R"(C:\tools\x.exe)"), R"(C:\tools\x.exe)");
}

} // namespace
} // namespace pelorix
