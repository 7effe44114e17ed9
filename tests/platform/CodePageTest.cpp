#include "platform/CodePage.h"

#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

namespace pelorix {
namespace {

TEST(CodePage, JapaneseTextRoundTripsThroughCp932) {
    test::TestEnvironment env;
    const std::string text = "ﾋﾞﾙﾄﾞ中です。表示ソフト";
    const std::string bytes = utf8ToAnsi(text);
    EXPECT_EQ(bytes.substr(0, 2), "\xCB\xDE"); // half-width katakana are one byte each
    EXPECT_EQ(ansiToUtf8(bytes), text);
}

TEST(CodePage, InvalidBytesSurviveDecodeAndEncode) {
    test::TestEnvironment env;
    // A lone lead byte, an undefined byte, a lead byte with a bad trail byte, and one at the end.
    const std::string bytes = std::string("a\x81") + "\x20" + "\xFD" + "b\x82\x0A" + "\x83";
    const std::string text = ansiToUtf8(bytes);
    EXPECT_EQ(utf8ToAnsi(text), bytes);
}

TEST(CodePage, CharactersOutsideTheCodePageBecomeQuestionMarks) {
    test::TestEnvironment env;
    EXPECT_EQ(utf8ToAnsi("a\xF0\x9F\x98\x80"
                         "b"),
              "a?b");                                    // an emoji
    EXPECT_EQ(utf8ToAnsi(std::string("x\xFFy")), "x?y"); // invalid UTF-8
}

TEST(CodePage, EncodingComesFromTheEnvironment) {
    test::TestEnvironment env;
    env.setCodePage("CP1252");
    EXPECT_EQ(utf8ToAnsi("é"), "\xE9");
    EXPECT_EQ(ansiToUtf8("\xE9"), "é");
}

} // namespace
} // namespace pelorix
