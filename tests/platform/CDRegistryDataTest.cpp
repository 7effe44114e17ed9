#include "platform/CDRegistryData.h"

#include "platform/CodePage.h"
#include "platform/Registry.h"
#include "support/RegistryWriter.h"
#include "support/TestEnvironment.h"
#include "support/TestOs.h"

#include <gtest/gtest.h>

namespace pelorix {
namespace {

using test::RegistryHive;
using test::RegistryKeyTime;
using test::RegistryWriter;
using test::TestEnvironment;
using test::TypeLibRegistration;

constexpr const char* kStdole = "{00020430-0000-0000-C000-000000000046}";
constexpr const char* kAdo = "{2A75196C-D9EB-4129-B803-931327F72D5C}";
constexpr const char* kScript = "{3F4DACA7-160D-11D2-A8E9-00104B365C9F}";

// A Unix time for a local (Asia/Tokyo) calendar time.
std::int64_t tokyo(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&t));
}

struct Walk {
    std::vector<std::string> libraryPaths;
    std::vector<std::string> keyPaths;
    std::vector<std::string> times;
};

Walk walk(CDRegistryData& data, std::string_view subKey = "TypeLib") {
    Walk w;
    std::vector<VbDate> dates;
    data.fSetRegistryData(HKEY_CLASSES_ROOT, subKey, w.libraryPaths, w.keyPaths, dates);
    EXPECT_EQ(w.libraryPaths.size(), w.keyPaths.size());
    EXPECT_EQ(w.libraryPaths.size(), dates.size());
    for (VbDate d : dates)
        w.times.push_back(formatDateTime(d));
    return w;
}

// A walk by an instance of its own, which has nothing kept to reuse.
Walk walk(std::string_view subKey = "TypeLib") {
    CDRegistryData data;
    return walk(data, subKey);
}

// The line WriteErrorLog writes, without its time stamp.
std::string logTail(std::int32_t number, const std::string& tail,
                    const std::string& proc = "RecursiveRegEnumKeys") {
    return "\", \"" + std::to_string(number) + "\", \"" + CFWin32API().GetLastErrorMsg(number) + tail +
           "\", \"" + proc + "\", \"CFWin32API\"";
}

class RegistrationWalk : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(Registry::process().openKeyCount(), 0u); }
    TestEnvironment env;
};

TEST_F(RegistrationWalk, ListsEveryWin32RegistrationInWalkOrderAligned) {
    RegistryWriter w;
    TypeLibRegistration lib;
    lib.guid = kStdole;
    lib.version = "2.0";
    lib.win32 = "C:\\windows\\system32\\stdole2.tlb";
    lib.time = RegistryKeyTime::unix(tokyo(2024, 1, 2, 3, 4, 5));
    w.addTypeLib(lib);
    lib.version = "1.0";
    lib.win32 = "C:\\windows\\system32\\stdole32.tlb";
    lib.win64 = "C:\\windows\\system64\\stdole32.tlb"; // a sibling of another bitness is ignored
    lib.time = RegistryKeyTime::unix(tokyo(2023, 12, 31, 23, 59, 59));
    w.addTypeLib(lib);
    lib = {};
    lib.guid = kScript;
    lib.version = "5.5";
    lib.win32 = "C:\\windows\\system32\\vbscript.dll\\3";
    lib.time = RegistryKeyTime::unixWithFileTime(tokyo(2024, 5, 6, 7, 8, 9), 999999900);
    w.addTypeLib(lib);
    lib.version = "1.a";
    lib.locale = "411";
    lib.win32 = "\\\\?\\C:\\other dir\\t1_32.tlb";
    lib.time = RegistryKeyTime::unixWithFileTime(tokyo(2024, 5, 6, 7, 8, 9), 400000000);
    w.addTypeLib(lib);
    lib = {};
    lib.guid = kAdo;
    lib.version = "2.8";
    lib.win32WithoutValue = true;
    lib.time = RegistryKeyTime::unix(tokyo(2020, 2, 29, 12, 0, 0));
    w.addTypeLib(lib);
    // Only win64, a win32 in other letter case, a locale without a registration: nothing to list.
    w.addKey("Software\\Classes\\Typelib\\{11111111-0000-0000-0000-000000000000}\\1.0\\0\\win64")
        .addKey("Software\\Classes\\Typelib\\{22222222-0000-0000-0000-000000000000}\\1.0\\0\\Win32")
        .addKey("Software\\Classes\\Typelib\\{33333333-0000-0000-0000-000000000000}\\1.0\\9");
    w.setString("Software\\Classes\\Typelib\\" + std::string(kAdo) + "\\2.8\\HELPDIR", "", "C:\\help");
    w.write(env);

    const Walk got = walk();
    EXPECT_EQ(got.keyPaths, (std::vector<std::string>{
                                "TypeLib\\{00020430-0000-0000-C000-000000000046}\\1.0\\0",
                                "TypeLib\\{00020430-0000-0000-C000-000000000046}\\2.0\\0",
                                "TypeLib\\{2A75196C-D9EB-4129-B803-931327F72D5C}\\2.8\\0",
                                "TypeLib\\{3F4DACA7-160D-11D2-A8E9-00104B365C9F}\\1.a\\411",
                                "TypeLib\\{3F4DACA7-160D-11D2-A8E9-00104B365C9F}\\5.5\\0",
                            }));
    EXPECT_EQ(got.libraryPaths, (std::vector<std::string>{
                                    "C:\\windows\\system32\\stdole32.tlb",
                                    "C:\\windows\\system32\\stdole2.tlb",
                                    "",
                                    "C:\\other dir\\t1_32.tlb",
                                    "C:\\windows\\system32\\vbscript.dll\\3",
                                }));
    // Local times, rounded to the second: 07:08:09.9999999 shows as 07:08:10.
    EXPECT_EQ(got.times, (std::vector<std::string>{
                             "2023/12/31 23:59:59",
                             "2024/01/02 03:04:05",
                             "2020/02/29 12:00:00",
                             "2024/05/06 07:08:09",
                             "2024/05/06 07:08:10",
                         }));
    EXPECT_EQ(env.errorLog(), "");
}

TEST_F(RegistrationWalk, TimesShowTheSecondTheyWereWritten) {
    // Every second of a minute, with and without a "#time" line: truncating the day fraction
    // would show some of these one second early.
    RegistryWriter w;
    for (int s = 0; s < 60; ++s) {
        TypeLibRegistration lib;
        char guid[64];
        std::snprintf(guid, sizeof guid, "{%08X-0000-0000-0000-000000000000}", s);
        lib.guid = guid;
        lib.win32 = "C:\\x.tlb";
        const std::int64_t t = tokyo(2026, 12, 8, 3, 4, s);
        lib.time = s % 2 == 0 ? RegistryKeyTime::unix(t) : RegistryKeyTime::unixWithFileTime(t, 0);
        w.addTypeLib(lib);
    }
    w.write(env);
    const Walk got = walk();
    ASSERT_EQ(got.times.size(), 60u);
    for (int s = 0; s < 60; ++s) {
        char expected[32];
        std::snprintf(expected, sizeof expected, "2026/12/08 03:04:%02d", s);
        EXPECT_EQ(got.times[static_cast<std::size_t>(s)], expected);
    }
}

TEST_F(RegistrationWalk, ValuesOf255BytesReadWholeAndLongerOnesReadEmpty) {
    const std::string path255 = "C:\\" + std::string(248, 'a') + ".tlb"; // 255 bytes
    const std::string path256 = "C:\\" + std::string(249, 'a') + ".tlb"; // 256 bytes
    std::string wide = "C:\\"; // 128 characters: 378 bytes in UTF-8, 253 in CP932
    for (int i = 0; i < 125; ++i)
        wide += "\xE6\x97\xA5";
    RegistryWriter w;
    const char* guids[] = {"{A0000000-0000-0000-0000-000000000000}", "{B0000000-0000-0000-0000-000000000000}",
                           "{C0000000-0000-0000-0000-000000000000}",
                           "{D0000000-0000-0000-0000-000000000000}"};
    const std::string values[] = {path255, path256, wide, wide + "\xE6\x97\xA5\xE6\x97\xA5"};
    for (int i = 0; i < 4; ++i) {
        TypeLibRegistration lib;
        lib.guid = guids[i];
        lib.win32 = values[i];
        w.addTypeLib(lib);
    }
    w.write(env);
    const Walk got = walk();
    ASSERT_EQ(got.libraryPaths.size(), 4u);
    EXPECT_EQ(got.libraryPaths[0], path255);
    EXPECT_EQ(got.libraryPaths[1], "");
    EXPECT_EQ(got.libraryPaths[2], wide);
    EXPECT_EQ(got.libraryPaths[3], "") << "257 bytes in the code page, though only 130 characters";
    EXPECT_EQ(CFWin32API().fGetRegKeyValue(HKEY_CLASSES_ROOT,
                                           "TypeLib\\" + std::string(guids[1]) + "\\1.0\\0\\win32",
                                           std::nullopt, REG_SZ),
              "");
}

TEST_F(RegistrationWalk, AWin32KeyWithSubKeysIsOneRegistrationAndKeepsTheListsAligned) {
    RegistryWriter w;
    TypeLibRegistration lib;
    lib.guid = kStdole;
    lib.win32 = "C:\\a.tlb";
    lib.time = RegistryKeyTime::unix(tokyo(2024, 1, 1, 1, 1, 1));
    w.addTypeLib(lib);
    w.setString("Software\\Classes\\Typelib\\" + std::string(kStdole) + "\\1.0\\0\\win32\\win32", "",
                "C:\\inner.tlb");
    w.setString("Software\\Classes\\Typelib\\" + std::string(kStdole) + "\\1.0\\0\\win32\\other", "",
                "C:\\o.tlb");
    lib.guid = kAdo;
    lib.win32 = "C:\\b.tlb";
    lib.time = RegistryKeyTime::unix(tokyo(2024, 2, 2, 2, 2, 2));
    w.addTypeLib(lib);
    w.write(env);

    const Walk got = walk();
    EXPECT_EQ(got.libraryPaths, (std::vector<std::string>{"C:\\a.tlb", "C:\\b.tlb"}));
    EXPECT_EQ(got.times, (std::vector<std::string>{"2024/01/01 01:01:01", "2024/02/02 02:02:02"}));
    EXPECT_EQ(got.keyPaths[0], "TypeLib\\" + std::string(kStdole) + "\\1.0\\0");
}

// One object walks library after library, reusing what its walks keep between them: each walk
// answers as a walk by a fresh object does, whatever the shape of the libraries before it.
TEST_F(RegistrationWalk, WalksOfOneObjectAnswerAsWalksOfFreshOnes) {
    RegistryWriter w;
    TypeLibRegistration lib;
    lib.guid = kStdole;
    for (const char* locale : {"0", "409", "411"}) {
        lib.locale = locale;
        lib.win32 = std::string("C:\\stdole\\") + locale + ".tlb";
        w.addTypeLib(lib);
    }
    w.setString("Software\\Classes\\Typelib\\" + std::string(kStdole) + "\\1.0\\FLAGS", "", "0");
    lib = {};
    lib.guid = kAdo;
    lib.version = "2.a";
    lib.win32 = "C:\\ado.dll";
    lib.win64 = "C:\\ado64.dll";
    w.addTypeLib(lib);
    lib.guid = kScript;
    lib.version = "5.5";
    lib.win32 = "C:\\windows\\system32\\vbscript.dll\\3";
    w.addTypeLib(lib);
    w.write(env);

    const auto walkEach = [](CFWin32API* shared, const std::vector<std::string>& guids) {
        Walk got;
        std::vector<VbDate> dates;
        for (const std::string& guid : guids) {
            CFWin32API fresh;
            (shared != nullptr ? *shared : fresh)
                .RecursiveRegEnumKeys(HKEY_CLASSES_ROOT, "TypeLib\\" + guid, got.libraryPaths, got.keyPaths,
                                      dates);
        }
        return got;
    };
    for (const std::vector<std::string>& guids : {std::vector<std::string>{kStdole, kAdo, kScript},
                                                  std::vector<std::string>{kScript, kAdo, kStdole}}) {
        CFWin32API shared;
        const Walk once = walkEach(&shared, guids);
        const Walk again = walkEach(&shared, guids);
        const Walk fresh = walkEach(nullptr, guids);
        EXPECT_EQ(once.libraryPaths.size(), 5u);
        EXPECT_EQ(once.libraryPaths, fresh.libraryPaths);
        EXPECT_EQ(once.keyPaths, fresh.keyPaths);
        EXPECT_EQ(again.libraryPaths, fresh.libraryPaths);
        EXPECT_EQ(again.keyPaths, fresh.keyPaths);
    }
}

TEST_F(RegistrationWalk, NothingToWalk) {
    EXPECT_TRUE(walk().keyPaths.empty()) << "no prefix";
    RegistryWriter().setString("Software\\Classes\\.ini", "", "inifile").write(env);
    EXPECT_TRUE(walk().keyPaths.empty()) << "no TypeLib key";
    RegistryWriter().addKey("Software\\Classes\\TypeLib").write(env);
    EXPECT_TRUE(walk().keyPaths.empty()) << "no registrations";

    // The lists always start empty.
    CDRegistryData data;
    std::vector<std::string> paths{"old"}, keys{"old"};
    std::vector<VbDate> times{1.0};
    data.fSetRegistryData(HKEY_CLASSES_ROOT, "TypeLib", paths, keys, times);
    EXPECT_TRUE(paths.empty() && keys.empty() && times.empty());
}

TEST_F(RegistrationWalk, OnlyTheMachinesRegistrationsAreWalked) {
    // Wine's programs, the compiler among them, do not see the user's classes: a library
    // registered only there is not walked, and one registered in both has the machine's path.
    RegistryWriter w;
    TypeLibRegistration lib;
    lib.guid = kStdole;
    lib.win32 = "C:\\machine.tlb";
    w.addTypeLib(lib);
    lib.win32 = "C:\\user.tlb";
    lib.hive = RegistryHive::User;
    w.addTypeLib(lib);
    lib.guid = kAdo;
    lib.win32 = "C:\\useronly.tlb";
    w.addTypeLib(lib);
    w.write(env);
    EXPECT_EQ(walk().libraryPaths, std::vector<std::string>{"C:\\machine.tlb"});
}

TEST_F(RegistrationWalk, FailuresAreLoggedWithTheirTailsAndTheWalkGoesOn) {
    RegistryWriter w;
    TypeLibRegistration lib;
    lib.guid = kStdole;
    lib.win32 = "C:\\a.tlb";
    w.addTypeLib(lib);
    // "é" has no place in CP932: the enumerated name "?" cannot be opened again.
    w.setString("Software\\Classes\\Typelib\\" + std::string(kStdole) + "\\1.0\\caf\xC3\xA9\\win32", "",
                "C:\\x");
    w.write(env);

    const Walk got = walk();
    EXPECT_EQ(got.libraryPaths, std::vector<std::string>{"C:\\a.tlb"});
    const std::string path = "TypeLib\\" + std::string(kStdole) + "\\1.0\\caf?";
    const auto lines = env.errorLogLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(
        lines[0].ends_with(logTail(2, "[lnghSubKey=0], [lnghInKey=-2147483648], [strSubKey=" + path + "]")))
        << lines[0];
    EXPECT_TRUE(lines[1].ends_with(logTail(6, "RegClose(lnghSubKey=0), [strSubKey=" + path + "]")))
        << lines[1];
}

TEST_F(RegistrationWalk, ALeafThatCannotBeReadIsLoggedAndRecordedEmpty) {
    // Walked from HKEY_LOCAL_MACHINE, the leaf is read through HKEY_CLASSES_ROOT, where this
    // path does not exist.
    RegistryWriter().setString("Software\\Classes\\Typelib\\G\\1.0\\0\\win32", "", "C:\\g.tlb").write(env);
    CFWin32API api;
    std::vector<std::string> paths, keys;
    std::vector<VbDate> times;
    api.RecursiveRegEnumKeys(HKEY_LOCAL_MACHINE, "Software\\Classes\\Typelib\\G", paths, keys, times);
    EXPECT_EQ(paths, std::vector<std::string>{""});
    EXPECT_EQ(keys, std::vector<std::string>{"Software\\Classes\\Typelib\\G\\1.0\\0"});
    EXPECT_EQ(times.size(), 1u);
    const std::string path = "Software\\Classes\\Typelib\\G\\1.0\\0\\win32";
    const auto lines = env.errorLogLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[0].ends_with(
        logTail(2, "RegOpenKeyEx(HKEY_CLASSES_ROOT,strSubKey=" + path + ",0,KEY_READ,lnghSubKey2=0)")))
        << lines[0];
    EXPECT_TRUE(lines[1].ends_with(logTail(6, "RegClose(lnghSubKey2=0), [strSubKey=" + path + "]")))
        << lines[1];
}

TEST_F(RegistrationWalk, EnumKeysAndValues) {
    RegistryWriter()
        .setString("Software\\Classes\\K\\b", "", "x")
        .setString("Software\\Classes\\K\\A", "", "x")
        .setString("Software\\Classes\\K\\c", "Named", "named value")
        .setRaw("Software\\Classes\\K\\c", "Number", "dword:00000041")
        .addKey("Software\\Classes\\Leaf")
        .write(env);
    CFWin32API api;
    std::vector<std::string> names{"1", "2", "3", "4", "5"};
    EXPECT_EQ(api.EnumKeys(HKEY_CLASSES_ROOT, "K", names), 3);
    EXPECT_EQ(names, (std::vector<std::string>{"A", "b", "c"})) << "resized to exactly the count";
    names = {"kept"};
    EXPECT_EQ(api.EnumKeys(HKEY_CLASSES_ROOT, "Leaf", names), 0);
    EXPECT_EQ(api.EnumKeys(HKEY_CLASSES_ROOT, "Missing", names), 0);
    EXPECT_EQ(names, std::vector<std::string>{"kept"});

    EXPECT_EQ(api.fGetRegKeyValue(HKEY_CLASSES_ROOT, "K\\c", "named", REG_SZ), "named value");
    EXPECT_EQ(api.fGetRegKeyValue(HKEY_CLASSES_ROOT, "K\\c", std::nullopt, REG_SZ), "") << "no default value";
    EXPECT_EQ(api.fGetRegKeyValue(HKEY_CLASSES_ROOT, "K\\c", "Number", REG_SZ), "") << "not text";
    EXPECT_EQ(api.fGetRegKeyValue(HKEY_CLASSES_ROOT, "K\\missing", std::nullopt, REG_SZ), "");
    EXPECT_FALSE(test::fileExists(env.home() + "/Pelorix.log"));
}

TEST(DosDateTime, CountsDaysFromTheBaseDateInLocalTime) {
    // 1899-12-30 00:00 in Tokyo is 1899-12-29 15:00 UTC.
    constexpr std::uint64_t day = 864000000000ULL;
    const std::uint64_t base = 109205 * day - 9 * 36000000000ULL;
    CFWin32API api;
    EXPECT_DOUBLE_EQ(api.pDosDateTimeToFileTime(base), 0.0);
    EXPECT_DOUBLE_EQ(api.pDosDateTimeToFileTime(base + day), 1.0);
    EXPECT_DOUBLE_EQ(api.pDosDateTimeToFileTime(base + day / 2), 0.5);
}

TEST_F(RegistrationWalk, ShellAssociation) {
    const std::string command = "\"C:\\Program Files\\Microsoft Visual Studio\\VB98\\VB6.EXE\" \"%1\"";
    RegistryWriter()
        .addShellAssociation(".vbp", "VisualBasic.Project", "shell\\open\\command", command)
        .setString("Software\\Classes\\.frm", "", "VisualBasic.Form")
        .setString("Software\\Classes\\VisualBasic.Form\\shell\\edit\\command", "", "edit.exe")
        .setString("Software\\Classes\\.bas", "", "")
        .setRaw("Software\\Classes\\.ctl", "", "str(2):\"ctlfile\"")
        .setRaw("Software\\Classes\\ctlfile\\shell\\open\\command", "",
                "str(2):\"%SystemRoot%\\\\x.exe \\\"%1\\\"\"")
        .write(env);
    CDRegistryData data;
    EXPECT_EQ(data.fGetShellExProgPath(".vbp", "shell\\open\\command"), command);
    EXPECT_EQ(data.fGetShellExProgPath(".VBP", "Shell\\Open\\Command"), command);
    EXPECT_EQ(data.fGetShellExProgPath(".vbg", "shell\\open\\command"), "") << "extension not registered";
    EXPECT_EQ(data.fGetShellExProgPath(".frm", "shell\\open\\command"), "") << "file type without the verb";
    EXPECT_EQ(data.fGetShellExProgPath(".bas", "shell\\open\\command"), "") << "empty file type";
    EXPECT_EQ(data.fGetShellExProgPath(".ctl", "shell\\open\\command"), "%SystemRoot%\\x.exe \"%1\"")
        << "an expandable string exactly as stored";

    // An association of the user's alone is as invisible here as it is to Wine's shell.
    RegistryWriter()
        .addShellAssociation(".vbp", "VisualBasic.Project", "shell\\open\\command", command)
        .addShellAssociation(".vbp", "Mine.Project", "shell\\open\\command", "mine.exe \"%1\"",
                             RegistryHive::User)
        .addShellAssociation(".vbg", "Mine.Group", "shell\\open\\command", "mine.exe \"%1\"",
                             RegistryHive::User)
        .write(env);
    EXPECT_EQ(data.fGetShellExProgPath(".vbp", "shell\\open\\command"), command);
    EXPECT_EQ(data.fGetShellExProgPath(".vbg", "shell\\open\\command"), "");
}

} // namespace
} // namespace pelorix

namespace pelorix {
namespace {

// A build walks the registrations before every project through the one CDRegistryData of the
// project data. A walk repeated on unchanged files reuses the instance's last result, but it
// must still see every change of the files and of the time zone, and a walk that reported
// failures must report them again.
TEST_F(RegistrationWalk, RepeatedWalksSeeEveryChange) {
    TypeLibRegistration lib;
    lib.guid = kStdole;
    lib.win32 = "C:\\a.tlb";
    lib.time = RegistryKeyTime::unix(tokyo(2024, 5, 6, 3, 4, 5));
    RegistryWriter w;
    w.addTypeLib(lib);
    w.write(env);
    CDRegistryData data;
    const auto first = data.registrations(HKEY_CLASSES_ROOT, "TypeLib");
    EXPECT_EQ(data.registrations(HKEY_CLASSES_ROOT, "TypeLib"), first) << "unchanged files: the same result";
    EXPECT_NE(CDRegistryData().registrations(HKEY_CLASSES_ROOT, "TypeLib"), first)
        << "another instance keeps its own";
    EXPECT_EQ(walk(data).times, std::vector<std::string>{"2024/05/06 03:04:05"});

    // Same size, rewritten at once: the change must still be seen.
    RegistryWriter changed;
    lib.win32 = "C:\\b.tlb";
    changed.addTypeLib(lib);
    changed.write(env);
    EXPECT_EQ(walk(data).libraryPaths, std::vector<std::string>{"C:\\b.tlb"});

    pelorix::test::setEnvironment("TZ", "UTC");
    EXPECT_EQ(walk(data).times, std::vector<std::string>{"2024/05/05 18:04:05"});
    pelorix::test::setEnvironment("TZ", "Asia/Tokyo");
    EXPECT_EQ(walk(data).times, std::vector<std::string>{"2024/05/06 03:04:05"});
}

TEST_F(RegistrationWalk, AWalkThatReportedFailuresReportsThemAgain) {
    RegistryWriter w;
    w.setString("Software\\Classes\\Typelib\\" + std::string(kStdole) + "\\1.0\\caf\xC3\xA9\\win32", "",
                "C:\\x");
    w.write(env);
    CDRegistryData data;
    walk(data);
    const std::size_t once = env.errorLogLines().size();
    ASSERT_GT(once, 0u);
    walk(data);
    EXPECT_EQ(env.errorLogLines().size(), 2 * once);
}

} // namespace
} // namespace pelorix
