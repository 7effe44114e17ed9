#include "formats/IniFile.h"

#include "platform/CodePage.h"
#include "support/TestEnvironment.h"

#include <optional>

#include <gtest/gtest.h>

namespace pelorix {
namespace {

using test::sjis;

using namespace std::string_literals;

constexpr std::string_view kCp = "CP932";

std::optional<std::string> read(std::string_view file, std::string_view section, std::string_view key,
                                std::size_t bufferSize = 256) {
    return readIniValue(file, section, key, kCp, codePages(), bufferSize);
}

std::string write(std::string_view file, std::string_view section, std::string_view key,
                  std::string_view value) {
    auto out = writeIniValue(file, section, key, value, kCp, codePages());
    EXPECT_TRUE(out.has_value());
    return out.value_or(std::string(file));
}

// ---- Reading -------------------------------------------------------------------------------

const std::string kVectorFile = "[Sec]\r\n"
                                "  Key1  =   value one   \r\n"
                                "Key2=\"  quoted  \"\r\n"
                                "Key7=\r\n"
                                "Key8\r\n"
                                "Key9=x ; not a comment\r\n"
                                ";Key10=commented\r\n"
                                "key1=duplicate\r\n"
                                "[ sec ]\r\n"
                                "Key14=in second section of the same name\r\n";

struct ReadCase {
    const char* section;
    const char* key;
    std::optional<std::string> expected; // nothing: the caller's default applies
};

class IniReadVectors : public ::testing::TestWithParam<ReadCase> {};

TEST_P(IniReadVectors, GiveTheProfileFunctionsResult) {
    const ReadCase& c = GetParam();
    EXPECT_EQ(read(kVectorFile, c.section, c.key), c.expected) << c.section << " / " << c.key;
}

INSTANTIATE_TEST_SUITE_P(
    Notes, IniReadVectors,
    ::testing::Values(ReadCase{"SEC", "key1", "value one"}, ReadCase{"Sec", "  Key1  ", "value one"},
                      ReadCase{"Sec", "KEY2", "  quoted  "}, ReadCase{"Sec", "Key7", ""},
                      ReadCase{"Sec", "Key8", std::nullopt}, ReadCase{"Sec", "Key9", "x ; not a comment"},
                      ReadCase{"Sec", "Key10", std::nullopt}, ReadCase{"Sec", ";Key10", std::nullopt},
                      ReadCase{"Sec", "Key14", std::nullopt}, ReadCase{"Sec", "Nope", std::nullopt},
                      ReadCase{"Nope", "k", std::nullopt}));

TEST(IniRead, RemovesOnePairOfMatchingQuotesOnly) {
    const std::pair<const char*, const char*> cases[] = {
        {"\"val2\"", "val2"}, {"'single'", "single"}, {"\"abc", "\"abc"}, {"a\"b\"c", "a\"b\"c"},
        {"\"a\"b\"", "a\"b"}, {"'abc\"", "'abc\""},   {"\"\"", ""},       {"\"", "\""},
    };
    for (const auto& [stored, expected] : cases)
        EXPECT_EQ(read(std::string("[s]\r\nk=") + stored + "\r\n", "s", "k"), expected) << stored;
}

TEST(IniRead, ParsesHeadersCommentsAndStrayLines) {
    const std::string file = "k=before any section\r\n"
                             "[a] junk\r\n"
                             "x=1\r\n"
                             "[unclosed\r\n"
                             "y=2\r\n"
                             "  ; comment=3\r\n"
                             "#z=4\r\n"
                             "=empty name\r\n";
    EXPECT_EQ(read(file, "", "k"), std::nullopt) << "lines before the first header belong to no section";
    EXPECT_EQ(read(file, "A", "x"), "1");
    EXPECT_EQ(read(file, "a", "y"), "2") << "a \"[\" line without \"]\" is an ordinary line";
    EXPECT_EQ(read(file, "a", "; comment"), std::nullopt);
    EXPECT_EQ(read(file, "a", "#z"), "4");
    EXPECT_EQ(read(file, "a", ""), "empty name");
    EXPECT_EQ(read(file, "unclosed", "y"), std::nullopt);
}

TEST(IniRead, AcceptsEveryLineEnd) {
    for (const char* end : {"\r\n", "\r", "\n"}) {
        const std::string file = std::string("[s]") + end + "a=1" + end + end + "b=2";
        EXPECT_EQ(read(file, "s", "a"), "1");
        EXPECT_EQ(read(file, "s", "b"), "2");
    }
    EXPECT_EQ(read("[s]\r\na=1\rb=2\n\r\nc=3", "s", "c"), "3");
}

TEST(IniRead, ComparesNamesAfterDecodingTheCodePage) {
    // "ア" is 83 41 and "ヂ" is 83 61: folding raw bytes would make them one name.
    const std::string file = sjis("[ア]\r\nキー=1\r\n[データ]\r\n表示=ソ\r\n");
    EXPECT_EQ(read(file, "ア", "キー"), "1");
    EXPECT_EQ(read(file, "ヂ", "キー"), std::nullopt);
    EXPECT_EQ(read(file, "データ", "表示"), "ソ")
        << "trail bytes 5B, 5C and 5D are not brackets or separators";
}

TEST(IniRead, CutsLongValuesToTheBufferAtACharacterBoundary) {
    const std::string v300(300, 'v');
    EXPECT_EQ(read("[s]\r\nk=" + v300 + "\r\n", "s", "k"), std::string(255, 'v'));
    EXPECT_EQ(read("[s]\r\nk=" + std::string(255, 'v'), "s", "k"), std::string(255, 'v'));
    EXPECT_EQ(read("[s]\r\nk=val1\r\n", "s", "k", 4), "val");
    EXPECT_EQ(read("[s]\r\nk=val1\r\n", "s", "k", 1), "");
    // 254 bytes and then a two-byte character: the character does not fit whole and is left out.
    const std::string file = "[s]\r\nk=" + std::string(254, 'a') + sjis("あい") + "\r\n";
    EXPECT_EQ(read(file, "s", "k"), std::string(254, 'a'));
    EXPECT_EQ(read(file, "s", "k", 257), std::string(254, 'a') + "あ");
}

// ---- Writing -------------------------------------------------------------------------------

TEST(IniWrite, BuildsANewFileAsTheProfileFunctionsDo) {
    EXPECT_EQ(write("", "App", "key", ""), "[App]\r\nkey=\r\n");
    std::string file;
    file = write(file, "App1", "key1", "string1");
    file = write(file, "App1", "key2", "string2");
    file = write(file, "App1", "key3", "string3");
    file = write(file, "App2", "key4", "string4");
    file = write(file, "App3", "key5", "string5");
    EXPECT_EQ(file, "[App1]\r\nkey1=string1\r\nkey2=string2\r\nkey3=string3\r\n"
                    "[App2]\r\nkey4=string4\r\n[App3]\r\nkey5=string5\r\n");
}

TEST(IniWrite, ReplacesTheFirstEntryKeepingTheFilesSpellingAndLineEnd) {
    const std::string file = "[S]\r\n  Key1  =  old  \nkey1=second\r\n";
    EXPECT_EQ(write(file, "s", "KEY1", "new"), "[S]\r\nKey1=new\nkey1=second\r\n");
    EXPECT_EQ(write(file, "S", "Key1", "old"), file) << "the same value again changes nothing";
    EXPECT_EQ(write("[S]\r\nflag\r\n", "S", "FLAG", "1"), "[S]\r\nflag=1\r\n") << "a line without \"=\"";
    EXPECT_EQ(write("[S]\r\nk=1", "S", "k", "2"), "[S]\r\nk=2") << "no line end is added to a replaced line";
}

TEST(IniWrite, AddsANewKeyAfterTheSectionsLastEntry) {
    const std::string file = "[A]\r\nk=1\r\n;note\r\n\r\n; about B\r\n[B]\r\nm=2\r\n";
    EXPECT_EQ(write(file, "a", "n", "3"), "[A]\r\nk=1\r\nn=3\r\n;note\r\n\r\n; about B\r\n[B]\r\nm=2\r\n");
    EXPECT_EQ(write("[A]\r\n\r\n[B]\r\n", "A", "n", "3"), "[A]\r\nn=3\r\n\r\n[B]\r\n");
    // The first of two sections of one name takes the key.
    EXPECT_EQ(write("[A]\r\n[a]\r\nx=1\r\n", "A", "x", "2"), "[A]\r\nx=2\r\n[a]\r\nx=1\r\n");
}

TEST(IniWrite, TerminatesAnUnterminatedLastLineBeforeAddingOne) {
    EXPECT_EQ(write("[A]\r\nk=1", "A", "n", "2"), "[A]\r\nk=1\r\nn=2\r\n");
    EXPECT_EQ(write("[A]", "A", "n", "2"), "[A]\r\nn=2\r\n");
    EXPECT_EQ(write("[A]\r\nk=1", "B", "n", "2"), "[A]\r\nk=1\r\n[B]\r\nn=2\r\n");
    EXPECT_EQ(write("[A]\rk=1\r", "B", "n", "2"), "[A]\rk=1\r[B]\r\nn=2\r\n");
}

TEST(IniWrite, RefusesTextThatWouldBreakTheFile) {
    for (const auto& [section, key, value] :
         {std::tuple{"S", "k", "a\r\nb=c"}, std::tuple{"S", "k", "a\rb"}, std::tuple{"S", "k\n", "v"},
          std::tuple{"S\r", "k", "v"}, std::tuple{"S", "k=x", "v"}})
        EXPECT_EQ(writeIniValue("[S]\r\nk=1\r\n", section, key, value, kCp, codePages()), std::nullopt)
            << value;
}

TEST(IniWrite, EncodesNamesAndValuesInTheCodePage) {
    const std::string file = write(sjis("; 設定\r\n"), "ビルド", "表示", "ソース");
    EXPECT_EQ(file, sjis("; 設定\r\n[ビルド]\r\n表示=ソース\r\n"));
    EXPECT_EQ(read(file, "ビルド", "表示"), "ソース");
}

// A UTF-8 byte order mark that an editor saved is no part of the first section's name: the first
// section is found, a write changes its key there (no second section is appended) and the mark
// stays at the start.
TEST(IniWrite, KeepsAUtf8ByteOrderMarkAndFindsTheFirstSection) {
    const std::string mark = "\xEF\xBB\xBF";
    const std::string file = mark + "[Build]\r\nLogWaitTime=500\r\n[ProjectName]\r\nC:\\a.vbp\r\n";
    EXPECT_EQ(read(file, "Build", "LogWaitTime"), "500");
    EXPECT_EQ(write(file, "Build", "LogWaitTime", "10"),
              mark + "[Build]\r\nLogWaitTime=10\r\n[ProjectName]\r\nC:\\a.vbp\r\n");
    EXPECT_EQ(write(file, "Build", "Index", "2"),
              mark + "[Build]\r\nLogWaitTime=500\r\nIndex=2\r\n[ProjectName]\r\nC:\\a.vbp\r\n");
    EXPECT_EQ(write(mark, "Build", "Index", "2"), mark + "[Build]\r\nIndex=2\r\n");
    // Bytes after the mark that look like the UTF-16LE mark are still an ANSI file's, for the
    // reader as for the writer: a value written reads back.
    const std::string written = write(mark + "\xFF\xFE", "Build", "Mode", "");
    EXPECT_EQ(read(written, "Build", "Mode"), "");
}

// A file beginning with the UTF-16LE mark stays a UTF-16LE file, every other unit unchanged.
TEST(IniWrite, KeepsAUnicodeFileUnicode) {
    auto utf16 = [](std::u16string_view text) {
        std::string bytes = "\xFF\xFE";
        for (const char16_t unit : text) {
            bytes += static_cast<char>(unit & 0xFF);
            bytes += static_cast<char>(unit >> 8);
        }
        return bytes;
    };
    std::u16string comment = u"; 日本語 ";
    comment += char16_t{0xD800}; // an unpaired surrogate
    const std::u16string body = comment + u"\r\n[S]\r\nk=値 𠮷\r\n";
    const std::string file = utf16(body);
    EXPECT_EQ(read(file, "s", "K"), "値 𠮷");
    EXPECT_EQ(write(file, "S", "k", "新"), utf16(comment + u"\r\n[S]\r\nk=新\r\n"));
    EXPECT_EQ(write(file, "T", "x", "1"), utf16(body + u"[T]\r\nx=1\r\n"));
}

// Files that a write must not damage. Each holds "k=old" once in section [S].
struct HostileFile {
    const char* name;
    std::string bytes;
    bool unterminated; // the file's last line has no line end and is the section's last entry
};

std::string longLineFile() {
    return "[S]\r\nlong=" + std::string(100000, 'x') + "\r\nk=old\r\n";
}
std::string everyByteFile() {
    std::string garbage;
    for (int b = 0; b < 256; ++b)
        garbage += static_cast<char>(b);
    return garbage + "\r\n[S]\r\nk=old\r\n" + garbage;
}

class IniBytePreservation : public ::testing::TestWithParam<HostileFile> {};

// after must be before with added inserted at one place.
::testing::AssertionResult isInsertion(const std::string& before, const std::string& after,
                                       const std::string& added) {
    if (after.size() != before.size() + added.size())
        return ::testing::AssertionFailure()
               << "size " << after.size() << " != " << before.size() + added.size();
    std::size_t common = 0;
    while (common < before.size() && before[common] == after[common])
        ++common;
    for (std::size_t p = common + 1; p-- > (common > added.size() ? common - added.size() : 0);)
        if (after.compare(0, p, before, 0, p) == 0 && after.compare(p, added.size(), added) == 0 &&
            after.compare(p + added.size(), std::string::npos, before, p) == 0)
            return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "not a single insertion of " << added;
}

TEST_P(IniBytePreservation, ReadingWorksAndWritingChangesOnlyItsOwnLine) {
    const HostileFile& f = GetParam();
    EXPECT_EQ(read(f.bytes, "S", "k"), "old");

    std::string replaced = f.bytes;
    replaced.replace(replaced.find("k=old"), 5, "k=new");
    EXPECT_EQ(write(f.bytes, "s", "K", "new"), replaced);

    const std::string added = write(f.bytes, "S", "n", "v");
    EXPECT_TRUE(isInsertion(f.bytes, added, f.unterminated ? "\r\nn=v\r\n" : "n=v\r\n"));
    EXPECT_EQ(read(added, "S", "n"), "v");

    const std::string appended = write(f.bytes, "New", "x", "y");
    const bool terminated = f.bytes.back() == '\r' || f.bytes.back() == '\n';
    EXPECT_EQ(appended, f.bytes + (terminated ? "" : "\r\n") + "[New]\r\nx=y\r\n");
    EXPECT_EQ(read(appended, "new", "X"), "y");
}

INSTANTIATE_TEST_SUITE_P(
    Files, IniBytePreservation,
    ::testing::Values(
        HostileFile{"Cp932Comments",
                    sjis("; 設定ファイル\r\n\r\n[S]\r\n; コメント ソ表\r\nk=old\r\n名前=値\r\n\r\n"), false},
        HostileFile{"CrOnly", "[S]\rk=old\rz=1\r", false}, HostileFile{"LfOnly", "[S]\nk=old\nz=1\n", false},
        HostileFile{"Mixed", "[S]\r\nk=old\rz=1\n\n\r\n\r\r", false},
        HostileFile{"NoFinalLineEnd", "[S]\r\nz=1\r\nk=old", true},
        HostileFile{"NoFinalLineEndAfterComment", "[S]\r\nk=old\r\n;last", false},
        HostileFile{"LongLine", longLineFile(), false},
        HostileFile{"BytesBeforeFirstSection", "\0\x01\xff\x80junk=1\r\n[S]\r\nk=old\r\n\x81\r\n"s, false},
        HostileFile{"InvalidCp932", "[S]\r\nj=\x81\r\nk=old\r\nl=\xff\xfe\x85\x40\x81", true},
        HostileFile{"EveryByte", everyByteFile(), true}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

} // namespace
} // namespace pelorix
