#include "BuildWorld.h"
#include "engine/CompilerLog.h"
#include "platform/CodePage.h"
#include "platform/Text.h"
#include "support/CliRun.h"

#include <algorithm>

#include <gtest/gtest.h>

namespace pelorix::test {
namespace {

const std::string notFound = CompilerLogText::NotFound;
const std::string errorLine = "ｺﾝﾊﾟｲﾙ ｴﾗｰ: 構文ｴﾗｰ";

// Feeds the bytes in pieces of the given size, as reads of a file that is still growing give them.
CompilerLogResult readInPieces(const std::string& bytes, std::size_t piece) {
    CompilerLogReader reader;
    for (std::size_t i = 0; i < bytes.size(); i += piece)
        if (!reader.add(std::string_view(bytes).substr(i, piece)))
            break;
    return reader.finish();
}

std::string marker(std::size_t lines, std::size_t bytes) {
    return "(ｺﾝﾊﾟｲﾗのﾛｸﾞの" + std::to_string(lines) + "行、" + std::to_string(bytes) +
           "ﾊﾞｲﾄを省略しました。)";
}

// A log of 5 000 lines with every kind of line end, read in pieces that split line ends and
// double-byte characters: it is classified as the whole log would be, and keeps the first 1 000
// lines, the deciding line and the last 50, each run of lines left out counted by a marker. A
// later failure takes the decision, and the earlier deciding line joins the lines left out.
TEST(CompilerLogStream, AHugeLogIsClassifiedWholeAndKeepsItsHeadDecisionAndTail) {
    std::vector<std::string> lines;
    for (int i = 0; i < 5000; ++i)
        lines.push_back(i == 2500 ? notFound : "Compiling 日本語 " + std::to_string(i));
    std::string bytes;
    const std::array<std::string, 4> ends = {"\r\n", "\n", "\r", "\r\n\r\n"};
    for (std::size_t i = 0; i < lines.size(); ++i)
        bytes += utf8ToAnsi(lines[i]) + ends[i % ends.size()];
    const auto rawSize = [&](std::size_t from, std::size_t to) {
        std::size_t size = 0;
        for (std::size_t i = from; i < to; ++i)
            size += utf8ToAnsi(lines[i]).size();
        return size;
    };

    for (const std::size_t piece : {std::size_t{1}, std::size_t{7}, std::size_t{65536}}) {
        SCOPED_TRACE(piece);
        const CompilerLogResult result = readInPieces(bytes, piece);
        EXPECT_EQ(result.code, classifyCompilerLog(lines).code);
        EXPECT_EQ(result.code, BuildResult::NotFound);
        std::vector<std::string> expected(lines.begin(), lines.begin() + 1000);
        expected.push_back(marker(1500, rawSize(1000, 2500)));
        expected.push_back(notFound);
        expected.push_back(marker(2449, rawSize(2501, 4950)));
        expected.insert(expected.end(), lines.end() - 50, lines.end());
        EXPECT_EQ(result.lines, expected);
        EXPECT_EQ(result.decidingLine, 1001);
    }

    lines.push_back(errorLine);
    bytes += utf8ToAnsi(errorLine);
    const CompilerLogResult later = readInPieces(bytes, 4096);
    EXPECT_EQ(later.code, BuildResult::Error);
    ASSERT_EQ(later.lines.size(), 1000u + 1 + 50);
    EXPECT_EQ(later.lines[1000], marker(3951, rawSize(1000, 4951)));
    EXPECT_EQ(later.lines.back(), errorLine);
    EXPECT_EQ(later.decidingLine, 1050);

    // The success line ends the reading: what follows is not read. After an error line it is an
    // ordinary line, and the error stands.
    const std::string success = utf8ToAnsi("'A.exe' のﾋﾞﾙﾄﾞが正常に終了しました。") + "\r\n";
    CompilerLogReader reader;
    EXPECT_TRUE(reader.add("Compiling...\r\n"));
    EXPECT_FALSE(reader.add(success + utf8ToAnsi(notFound)));
    EXPECT_EQ(reader.finish().code, BuildResult::Success);
    CompilerLogReader afterError;
    EXPECT_TRUE(afterError.add(utf8ToAnsi(errorLine) + "\r\n" + success));
    EXPECT_EQ(afterError.finish().code, BuildResult::Error);
}

// A line of a megabyte without a line end: the not-found text across the boundary of two pieces
// is still found, and the line is kept cut, naming its size.
TEST(CompilerLogStream, AVeryLongLineIsClassifiedWholeAndShownCut) {
    std::string line(65530, 'A');
    line += utf8ToAnsi(notFound);
    line += std::string(1024 * 1024, 'B');
    const CompilerLogResult result = readInPieces(line, 100000);
    EXPECT_EQ(result.code, BuildResult::NotFound);
    ASSERT_EQ(result.lines.size(), 1u);
    EXPECT_EQ(result.lines[0], std::string(CompilerLogBounds::LineBytes, 'A') + "(以下省略。この行は" +
                                   std::to_string(line.size()) + "ﾊﾞｲﾄです。)");
}

// Through pelorix-cli: a compiler log of some megabytes shows as the bounded lines and a marker,
// and the terminal control sequences of a log line reach the output as spaces.
TEST(CompilerLogStream, TheCommandShowsAHugeLogCutAndNoControlCharacters) {
    BuildWorld world;
    const std::string a =
        world.addProject("a", "Alpha", {"CompatibleMode=\"0\"", "StandIn=flood:4096,controls"});
    const CliOutcome r = runCli({"build", world.host(world.writeList({a})), "--all"});
    EXPECT_EQ(r.status, 1);
    const auto out = outputLines(r.out);
    EXPECT_LT(out.size(), 1200u);
    EXPECT_EQ(std::count_if(
                  out.begin(), out.end(),
                  [](const std::string& l) { return l.find("ﾊﾞｲﾄを省略しました。)") != std::string::npos; }),
              1);
    EXPECT_TRUE(r.out.find("ｺﾝﾊﾟｲﾙ ｴﾗｰ") != std::string::npos) << "the deciding line is shown";
    EXPECT_EQ(r.out.find_first_of(std::string("\x1b\x07\x08\x0c\x7f\r", 6)), std::string::npos);
    EXPECT_TRUE(r.out.ends_with("NG\t互換なし\t" + a + "\nresult=99\n")) << r.out.substr(r.out.size() - 300);
}

TEST(CompilerLogStream, ControlCharactersBecomeSpaces) {
    EXPECT_EQ(withoutControlCharacters("a\x1b[31mb\tc\xc2\x9b"
                                       "d\xe2\x80\xa8"
                                       "e\x7f"
                                       "f ｴﾗｰ\xc2\xa0"),
              "a [31mb c d e f ｴﾗｰ\xc2\xa0");
}

} // namespace
} // namespace pelorix::test
