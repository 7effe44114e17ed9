#include "cli/Cli.h"
#include "support/CliRun.h"
#include "support/RegistryWriter.h"
#include "support/TestEnvironment.h"
#include "support/TestOs.h"
#include "support/WineTools.h"

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>

#include <gtest/gtest.h>

namespace pelorix::cli {
namespace {

namespace fs = std::filesystem;
using test::RegistryKeyTime;
using test::RegistryWriter;
using test::TypeLibRegistration;

// A FILETIME as the local "YYYY/MM/DD HH:MM:SS", rounded to the nearest second.
std::string localText(std::uint64_t fileTime) {
    const auto t = static_cast<std::time_t>((fileTime - 116444736000000000ULL + 5000000) / 10000000);
    std::tm local{};
    localtime_r(&t, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y/%m/%d %H:%M:%S", &local);
    return text;
}

TEST(TypelibsCommand, OneLinePerRegistrationWithItsLocalTime) {
    test::TestEnvironment env;
    RegistryWriter w;
    TypeLibRegistration lib;
    lib.guid = "{00020430-0000-0000-C000-000000000046}";
    lib.version = "2.0";
    lib.win32 = "C:\\windows\\system32\\stdole2.tlb";
    // 2026-12-08 03:04:05 in Tokyo, as a "#time" FILETIME and as the key line's seconds.
    lib.time = RegistryKeyTime::unixWithFileTime(1796666645, 0);
    w.addTypeLib(lib);
    lib.guid = "{12345678-9ABC-DEF0-1122-334455667788}";
    lib.version = "1.a";
    lib.locale = "411";
    lib.win32 = "\\\\?\\C:\\t1_32.tlb";
    lib.time = RegistryKeyTime::unix(1796666645);
    w.addTypeLib(lib);
    w.write(env);

    const test::CliOutcome o = test::runCli({"typelibs"});
    EXPECT_EQ(o.status, ExitOk) << o.err;
    EXPECT_EQ(o.out, "2026/12/08 03:04:05\tTypeLib\\{00020430-0000-0000-C000-000000000046}\\2.0\\0\t"
                     "C:\\windows\\system32\\stdole2.tlb\n"
                     "2026/12/08 03:04:05\tTypeLib\\{12345678-9ABC-DEF0-1122-334455667788}\\1.a\\411\t"
                     "C:\\t1_32.tlb\n");
    EXPECT_EQ(o.err, "");
}

TEST(TypelibsCommand, ListsNoneOfTheUsersRegistrations) {
    // Wine does not merge the user's classes into HKEY_CLASSES_ROOT, so the compiler in the
    // prefix cannot load a library registered there: none of them may be listed or chosen.
    test::TestEnvironment env;
    RegistryWriter w;
    TypeLibRegistration lib;
    lib.guid = "{00020430-0000-0000-C000-000000000046}";
    lib.version = "2.0";
    lib.win32 = "C:\\windows\\system32\\stdole2.tlb";
    lib.time = RegistryKeyTime::unix(1796666645);
    w.addTypeLib(lib);
    lib.hive = test::RegistryHive::User;
    lib.win32 = "C:\\users\\me\\stdole2.tlb"; // the same key, newer, in the user's classes
    lib.time = RegistryKeyTime::unix(1796666700);
    w.addTypeLib(lib);
    lib.version = "3.0";
    w.addTypeLib(lib);
    lib.guid = "{12345678-9ABC-DEF0-1122-334455667788}";
    lib.win32 = "C:\\users\\me\\mine.tlb";
    w.addTypeLib(lib);
    w.write(env);

    const test::CliOutcome o = test::runCli({"typelibs"});
    EXPECT_EQ(o.status, ExitOk) << o.err;
    EXPECT_EQ(o.out, "2026/12/08 03:04:05\tTypeLib\\{00020430-0000-0000-C000-000000000046}\\2.0\\0\t"
                     "C:\\windows\\system32\\stdole2.tlb\n");
}

TEST(TypelibsCommand, HelpAndUsage) {
    test::TestEnvironment env;
    const test::CliOutcome help = test::runCli({"typelibs", "--help"});
    EXPECT_EQ(help.status, ExitOk);
    EXPECT_NE(help.out.find("Usage: pelorix-cli typelibs"), std::string::npos);
    EXPECT_NE(test::runCli({"--help"}).out.find("typelibs"), std::string::npos);

    const test::CliOutcome extra = test::runCli({"typelibs", "TypeLib"});
    EXPECT_EQ(extra.status, ExitUsage);
    EXPECT_EQ(extra.out, "");
    EXPECT_NE(extra.err.find("Usage:"), std::string::npos);

    RegistryWriter().write(env);
    const test::CliOutcome empty = test::runCli({"typelibs"});
    EXPECT_EQ(empty.status, ExitOk) << "a registry without registrations lists nothing";
    EXPECT_EQ(empty.out, "");
}

// A prefix without a usable registry lists nothing and says why, instead of passing for one
// without registrations.
TEST(TypelibsCommand, NamesAPrefixWithoutAUsableRegistry) {
    test::TestEnvironment env;
    const auto cause = [] {
        const test::CliOutcome o = test::runCli({"typelibs"});
        EXPECT_EQ(o.status, ExitFailure);
        EXPECT_EQ(o.out, "");
        return o.err;
    };
    EXPECT_EQ(cause(),
              "pelorix-cli typelibs: Wineﾌﾟﾚﾌｨｯｸｽに使用できるﾚｼﾞｽﾄﾘがありません。ﾚｼﾞｽﾄﾘﾌｧｲﾙがありません。[" +
                  env.prefix() + "/system.reg]\n");
    // Only the first line counts, however long it is.
    for (const std::string& first :
         {std::string("not a registry"), "WINE REGISTRY Version 2" + std::string(100, ' ')}) {
        test::writeFile(env.prefix() + "/system.reg", first + "\n");
        EXPECT_NE(cause().find("Wineのﾚｼﾞｽﾄﾘﾌｧｲﾙではありません。[" + env.prefix() + "/system.reg]"),
                  std::string::npos);
    }
    RegistryWriter().write(env);
    fs::remove(env.prefix() + "/dosdevices/c:");
    fs::remove(env.prefix() + "/dosdevices/z:");
    EXPECT_NE(cause().find("ﾄﾞﾗｲﾌﾞがありません。"), std::string::npos);
    pelorix::test::setEnvironment("WINEPREFIX", (env.root() + "/no-prefix").c_str());
    EXPECT_NE(cause().find("ﾌﾟﾚﾌｨｯｸｽがありません。[" + env.root() + "/no-prefix]"), std::string::npos);
}

// The win32 registrations of a system.reg as the file spells them: key path -> {time, path}.
std::map<std::string, std::pair<std::string, std::string>> win32Keys(const std::string& systemReg) {
    static const std::regex key(
        R"(^\[Software\\\\Classes\\\\Typelib\\\\(\{[^\\]+\})\\\\([^\\]+)\\\\([^\\]+)\\\\win32\] (\d+))",
        std::regex::icase);
    std::map<std::string, std::pair<std::string, std::string>> found;
    std::istringstream in(test::readFile(systemReg));
    std::string current;
    for (std::string line; std::getline(in, line);) {
        std::smatch m;
        if (std::regex_search(line, m, key)) {
            current = "TypeLib\\" + m[1].str() + "\\" + m[2].str() + "\\" + m[3].str();
            const std::uint64_t seconds = std::stoull(m[4].str());
            found[current].first = localText(seconds * 10000000ULL + 116444736000000000ULL);
        } else if (line.starts_with("[")) {
            current.clear();
        } else if (!current.empty() && line.starts_with("#time=")) {
            found[current].first = localText(std::stoull(line.substr(6), nullptr, 16));
        } else if (!current.empty() && line.starts_with("@=\"")) {
            std::string path = line.substr(3, line.size() - 4);
            for (std::size_t at = 0; (at = path.find("\\\\", at)) != std::string::npos; ++at)
                path.erase(at, 1);
            found[current].second = path;
        }
    }
    return found;
}

TEST(TypelibsCommand, FindsEveryRegistrationOfAPrefixMadeByWineboot) {
    test::TestEnvironment env;
    const auto made = test::makeWinebootPrefix(env);
    if (!made)
        GTEST_SKIP() << "32-bit Wine is not installed";
    ASSERT_EQ(made->failure, "");
    const std::string& prefix = made->prefix;
    pelorix::test::setEnvironment("WINEPREFIX", prefix.c_str()); // the environment puts the old value back

    const auto expected = win32Keys(prefix + "/system.reg");
    ASSERT_EQ(expected.size(), 42u);
    const test::CliOutcome o = test::runCli({"typelibs"});
    ASSERT_EQ(o.status, ExitOk) << o.err;
    const auto got = test::outputLines(o.out);
    EXPECT_EQ(got.size(), 42u);
    std::size_t found = 0;
    for (const std::string& line : got) {
        const auto tab1 = line.find('\t');
        const auto tab2 = line.find('\t', tab1 + 1);
        ASSERT_NE(tab2, std::string::npos) << line;
        const std::string keyPath = line.substr(tab1 + 1, tab2 - tab1 - 1);
        const auto it = expected.find(keyPath);
        ASSERT_NE(it, expected.end()) << line;
        EXPECT_EQ(line.substr(0, tab1), it->second.first) << line;
        EXPECT_EQ(line.substr(tab2 + 1), it->second.second) << line;
        EXPECT_FALSE(it->second.second.empty()) << line;
        ++found;
    }
    EXPECT_EQ(found, 42u);
    EXPECT_EQ(env.errorLog(), "");
}

} // namespace
} // namespace pelorix::cli
