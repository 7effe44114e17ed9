#include "formats/RegistryFile.h"

#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

namespace pelorix {
namespace {

constexpr std::string_view kHeader =
    "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n";
constexpr std::uint64_t kUnixEpoch = 116444736000000000ULL;

RegistryFile parsed(std::string_view body) {
    auto file = RegistryFile::parse(std::string(kHeader) + std::string(body), 42);
    EXPECT_TRUE(file.has_value());
    return file ? std::move(*file) : RegistryFile();
}

std::string dataFile(const char* name) {
    return test::readFile(std::string(PELORIX_SOURCE_DIR) + "/tests/data/platform/" + name);
}

// The default value's text of the key at path, or "<none>".
std::string defaultText(const RegistryFile& file, std::string_view path, std::string_view valueName = "") {
    const RegistryKey* key = file.find(path);
    if (key == nullptr)
        return "<no key>";
    const RegistryValue* v = RegistryFile::value(*key, valueName);
    return v != nullptr && v->text ? *v->text : "<none>";
}

class NotARegistry : public ::testing::TestWithParam<std::string> {};

TEST_P(NotARegistry, IsRejected) {
    EXPECT_FALSE(RegistryFile::parse(GetParam()).has_value());
}

INSTANTIATE_TEST_SUITE_P(FirstLines, NotARegistry,
                         ::testing::Values("",
                                           "REGEDIT4\r\n\r\n[HKEY_CLASSES_ROOT\\.ini]\r\n@=\"inifile\"\r\n",
                                           "Windows Registry Editor Version 5.00\r\n",
                                           "WINE REGISTRY Version 1\n", " WINE REGISTRY Version 2\n",
                                           "WINE REGISTRY Version 2 \n",
                                           "\xEF\xBB\xBFWINE REGISTRY Version 2\n", "\n[Software] 1\n"));

TEST(RegistryFile, HeaderAloneIsAnEmptyRegistryAndCrLfFilesRead) {
    const auto empty = RegistryFile::parse("WINE REGISTRY Version 2");
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(empty->root().children.empty());

    const auto crlf = RegistryFile::parse("WINE REGISTRY Version 2\r\n\r\n#arch=win32\r\n\r\n"
                                          "[Software\\\\Classes\\\\.ini] 1796672318\r\n@=\"inifile\"\r\n");
    ASSERT_TRUE(crlf.has_value());
    EXPECT_EQ(defaultText(*crlf, "Software\\Classes\\.ini"), "inifile");
    EXPECT_EQ(crlf->arch(), "win32");
}

struct EscapeCase {
    std::string escaped;
    std::string text;
};

class StringEscapes : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(StringEscapes, DecodeAsWineDoes) {
    const RegistryFile file = parsed("[K] 1\n@=\"" + GetParam().escaped + "\"\n");
    EXPECT_EQ(defaultText(file, "K"), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, StringEscapes,
    ::testing::Values(
        EscapeCase{R"(C:\\windows\\system32\\stdole2.tlb)", R"(C:\windows\system32\stdole2.tlb)"},
        EscapeCase{R"(say \"hi\" [x])", R"(say "hi" [x])"},
        EscapeCase{R"(caf\xe9 \x65e5\x672c 1)", "caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC 1"},
        // At most four hex digits: "\x00412" is "A" then "2".
        EscapeCase{R"(\x00412)", "A2"}, EscapeCase{R"(\x41b)", "\xD0\x9B"}, EscapeCase{R"(a\xyz)", "axyz"},
        EscapeCase{R"(\101\1012)", "AA2"}, EscapeCase{R"(a\0b)", std::string("a\0b", 3)},
        EscapeCase{R"(\q\[\])", "q[]"}, EscapeCase{R"(\a\b\e\f\n\r\t\v)", "\a\b\x1B\f\n\r\t\v"},
        // Characters above U+FFFF come as two surrogates; a lone one is replaced.
        EscapeCase{R"(\xd83d\xde00)", "\xF0\x9F\x98\x80"}, EscapeCase{R"(\xd83dz)", "\xEF\xBF\xBDz"},
        // Raw UTF-8 is accepted too; a byte that is not UTF-8 reads as U+FFFD.
        EscapeCase{"caf\xC3\xA9", "caf\xC3\xA9"}, EscapeCase{"a\xFF", "a\xEF\xBF\xBD"}));

TEST(RegistryFile, KeyNamesUnescapeSplitAndMatchWithoutCase) {
    const RegistryFile file = parsed("[Software\\\\Classes\\\\zz\\[br\\]ack\\\\et] 1796672394\n@=\"k\"\n"
                                     "[Software\\\\Classes\\\\caf\\xe9] 1\n@=\"c\"\n");
    EXPECT_EQ(defaultText(file, "Software\\Classes\\zz[br]ack\\et"), "k");
    EXPECT_EQ(defaultText(file, "SOFTWARE\\classes\\ZZ[BR]ACK\\ET"), "k");
    EXPECT_EQ(defaultText(file, "software\\classes\\caf\xC3\xA9"), "c");
    EXPECT_EQ(file.find("Software\\Classes\\zz"), nullptr);
    EXPECT_EQ(file.find("Software\\Classes\\zz[br]ack")->name, "zz[br]ack");
}

TEST(RegistryFile, ImpliedKeysExistAndChildrenSortWithoutCase) {
    // Wine writes no line for a key that only has sub-keys; a hand-edited file may be unsorted.
    const RegistryFile file =
        parsed("[T\\\\b] 1\n[T\\\\_u] 1\n[T\\\\C] 1\n[T\\\\a\\\\x] 1\n[t\\\\B\\\\y] 1\n");
    const RegistryKey* t = file.find("T");
    ASSERT_NE(t, nullptr);
    std::vector<std::string> names;
    for (std::uint32_t c : t->children)
        names.emplace_back(file.key(c).name);
    // Lower-case order as Wine keeps it ("_" sorts before letters); a name keeps its first spelling.
    EXPECT_EQ(names, (std::vector<std::string>{"_u", "a", "b", "C"}));
    EXPECT_NE(file.find("t\\b\\y"), nullptr);
    EXPECT_EQ(file.root().children.size(), 1u);
}

TEST(RegistryFile, KeysMeetAgainWhetherSiblingsCameInOrderOrNot) {
    // In order first: a key met again in another spelling, also after its parent's line; then
    // a sibling out of order, after which keys from before it are still found, not doubled.
    const RegistryFile file = parsed("[R\\\\a\\\\x] 1\n[R\\\\b] 1\n[R] 1\n[r\\\\B\\\\y] 1\n"
                                     "[R\\\\0] 1\n[R\\\\A\\\\z] 1\n[r\\\\c] 1\n[R\\\\b\\\\Y] 2\n");
    const RegistryKey* r = file.find("R");
    ASSERT_NE(r, nullptr);
    std::vector<std::string> names;
    for (std::uint32_t c : r->children)
        names.emplace_back(file.key(c).name);
    EXPECT_EQ(names, (std::vector<std::string>{"0", "a", "b", "c"}));
    EXPECT_EQ(file.find("R\\a")->children.size(), 2u);
    EXPECT_EQ(file.find("R\\b")->children.size(), 1u);
    EXPECT_EQ(file.find("R\\b\\y")->lastWriteTime, 2 * 10000000ULL + kUnixEpoch);
    EXPECT_EQ(file.keyCount(), 9u);
}

TEST(RegistryFile, LastWriteTimes) {
    const RegistryFile file = parsed("[Both] 1000000000\n#time=1c0000000000000\n"
                                     "[Line] 1796672316\n"
                                     "[Implied\\\\First] 1700000000\n#time=1dd86828d46789e\n"
                                     "[Implied\\\\Second] 1800000000\n"
                                     "[NoTime]\n");
    // "#time" wins over the key line's seconds.
    EXPECT_EQ(file.find("Both")->lastWriteTime, 0x1c0000000000000ULL);
    EXPECT_EQ(file.find("Line")->lastWriteTime, 1796672316ULL * 10000000 + kUnixEpoch);
    // A key the file only implies takes its first child's time.
    EXPECT_EQ(file.find("Implied")->lastWriteTime, 0x1dd86828d46789eULL);
    // Nothing recorded at all: the time given for the file.
    EXPECT_EQ(file.find("NoTime")->lastWriteTime, 42u);
}

TEST(RegistryFile, ValueFormsOfRealWineOutput) {
    const auto file = RegistryFile::parse(dataFile("registry-value-forms.reg"));
    ASSERT_TRUE(file.has_value());
    EXPECT_EQ(file->arch(), "win64");

    const RegistryKey* zz = file->find("Software\\Classes\\zztest");
    ASSERT_NE(zz, nullptr);
    const RegistryValue* expand = RegistryFile::value(*zz, "exp");
    ASSERT_NE(expand, nullptr);
    EXPECT_EQ(expand->type, regtype::ExpandSz);
    EXPECT_EQ(*expand->text, "%SystemRoot%\\x");
    const RegistryValue* multi = RegistryFile::value(*zz, "Multi");
    EXPECT_EQ(multi->type, regtype::MultiSz);
    EXPECT_EQ(*multi->text, std::string("a\0b\0", 4));
    EXPECT_EQ(defaultText(*file, "Software\\Classes\\zztest", "Quo\"te"), "say \"hi\" [x]");
    EXPECT_EQ(defaultText(*file, "Software\\Classes\\zztest\\shell\\open\\command"),
              "\"C:\\Program Files\\A B\\x.exe\" \"%1\" \\\\server\\share");

    const RegistryKey* link = file->find("Software\\Classes\\Wow6432Node\\TypeLib");
    ASSERT_NE(link, nullptr);
    EXPECT_TRUE(link->isLink);
    const RegistryValue* target = RegistryFile::value(*link, "SymbolicLinkValue");
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(target->type, regtype::Link);
    EXPECT_FALSE(target->text.has_value()) << "a link's bytes are not text";

    EXPECT_EQ(
        defaultText(*file,
                    "Software\\Classes\\Typelib\\{12345678-9ABC-DEF0-1122-334455667788}\\1.a\\411\\win32"),
        "\\\\?\\C:\\other dir\\t1_32.tlb");

    // The continued hex(7) value is read whole, and its continuation lines are not taken for
    // lines of their own: the value after it still belongs to the same key.
    const RegistryKey* bus = file->find("System\\CurrentControlSet\\Enum\\ROOT\\WINE\\WINEBUS");
    ASSERT_NE(bus, nullptr);
    const RegistryValue* ids = RegistryFile::value(*bus, "HardwareId");
    ASSERT_NE(ids, nullptr);
    EXPECT_EQ(ids->type, regtype::MultiSz);
    EXPECT_EQ(ids->text->substr(0, 13), std::string("root\\winebus\0", 13));
    EXPECT_EQ(defaultText(*file, "System\\CurrentControlSet\\Enum\\ROOT\\WINE\\WINEBUS", "Service"),
              "winebus");
    const RegistryValue* flags = RegistryFile::value(*bus, "ConfigFlags");
    EXPECT_EQ(flags->type, regtype::Dword);
    EXPECT_FALSE(flags->text.has_value());
    EXPECT_EQ(bus->values.size(), 7u);
}

TEST(RegistryFile, OptionsAndOtherForms) {
    const RegistryFile file =
        parsed("#arch=win32\n"
               "[K] 1\n#time=1dd86828d46789e\n#class=\"My\\\"Class\"\n#volatile\n#whatever=1\n"
               "@ = str:\"plain\"\n"
               "\"Hex1\"=hex(1):41,00,42,00,00,00\n"
               "\"Bin\"=hex:41,00,42,00\n"
               "\"Q\"=hex(b):01,02,03,04,05,06,07,08\n"
               "\"Twice\"=\"first\"\n\"TWICE\"=\"second\"\n"
               "[K] 2\n\"Later\"=\"merged\"\n");
    const RegistryKey* k = file.find("K");
    ASSERT_NE(k, nullptr);
    EXPECT_EQ(k->className, "My\"Class");
    EXPECT_FALSE(k->isLink);
    EXPECT_EQ(defaultText(file, "K"), "plain");
    EXPECT_EQ(defaultText(file, "K", "hex1"), "AB");
    EXPECT_EQ(RegistryFile::value(*k, "Bin")->type, regtype::Binary);
    EXPECT_FALSE(RegistryFile::value(*k, "Bin")->text.has_value());
    EXPECT_EQ(RegistryFile::value(*k, "Q")->type, 0xBu);
    EXPECT_EQ(defaultText(file, "K", "twice"), "second");
    EXPECT_EQ(defaultText(file, "K", "Later"), "merged");
}

TEST(RegistryFile, BrokenLinesAreSkippedWithoutHarmToTheRest) {
    const RegistryFile file = parsed("@=\"before any key\"\n"
                                     "[Broken\\\\key 1\n@=\"lost\"\n"
                                     "[K] 1\n"
                                     "\"Open\"=\"no end\n"
                                     "\"BadHex\"=hex:4g,00\n"
                                     "\"LongByte\"=hex:123\n"
                                     "\"BadType\"=hex(zz):00\n"
                                     "\"BadDword\"=dword:123456789\n"
                                     "\"Str9\"=str(9):\"x\"\n"
                                     "\"NoEquals\" \"x\"\n"
                                     "garbage line\n"
                                     "\"Good\"=\"yes\"\n"
                                     "\"Tail\"=hex:00,\\\n");
    EXPECT_EQ(file.find("Broken"), nullptr);
    const RegistryKey* k = file.find("K");
    ASSERT_NE(k, nullptr);
    ASSERT_EQ(k->values.size(), 1u);
    EXPECT_EQ(k->values[0].name, "Good");
    EXPECT_EQ(file.root().children.size(), 1u);
}

TEST(RegistryFile, RealPrefixExcerpt) {
    const auto file = RegistryFile::parse(dataFile("registry-excerpt.reg"));
    ASSERT_TRUE(file.has_value());
    EXPECT_EQ(defaultText(*file, "Software\\Classes\\inifile\\shell\\open\\command"),
              "\"C:\\windows\\system32\\notepad.exe\" \"%1\"");
    const RegistryKey* typelib = file->find("Software\\Classes\\TypeLib");
    ASSERT_NE(typelib, nullptr);
    EXPECT_EQ(typelib->name, "Typelib");
    EXPECT_EQ(typelib->children.size(), 3u);
    const RegistryKey* win32 =
        file->find("Software\\Classes\\TypeLib\\{3f4daca7-160d-11d2-a8e9-00104b365c9f}\\5.5\\0\\win32");
    ASSERT_NE(win32, nullptr);
    EXPECT_EQ(win32->lastWriteTime, 0x1dd86828d661a3cULL);
    EXPECT_EQ(*win32->values.at(0).text, "C:\\windows\\system32\\vbscript.dll\\3");
}

} // namespace
} // namespace pelorix
