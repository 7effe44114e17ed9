#include "platform/Registry.h"

#include "support/RegistryWriter.h"
#include "support/TestEnvironment.h"

#include <filesystem>

#include <gtest/gtest.h>

namespace pelorix {
namespace {

using test::RegistryHive;
using test::RegistryWriter;
using test::TestEnvironment;

// The names of the sub-keys of root\path as the enumeration gives them.
std::vector<std::string> subKeys(HKEY root, std::string_view path) {
    Registry& registry = Registry::process();
    HKEY key = 0;
    std::vector<std::string> names;
    if (registry.RegOpenKeyEx(root, path, KEY_ENUMERATE_SUB_KEYS, key) != 0)
        return {"<cannot open>"};
    std::string name;
    for (std::uint32_t i = 0; registry.RegEnumKeyEx(key, i, 256, name) == 0; ++i)
        names.push_back(name);
    registry.RegCloseKey(key);
    return names;
}

std::string defaultValue(HKEY root, std::string_view path) {
    Registry& registry = Registry::process();
    HKEY key = 0;
    if (const auto rc = registry.RegOpenKeyEx(root, path, KEY_READ, key); rc != 0)
        return "<open " + std::to_string(rc) + ">";
    std::uint32_t type = 0;
    std::uint32_t size = 256;
    std::string text;
    const auto rc = registry.RegQueryValueEx(key, "", type, text, size);
    registry.RegCloseKey(key);
    return rc == 0 ? text : "<query " + std::to_string(rc) + ">";
}

class RegistryView : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(Registry::process().openKeyCount(), 0u) << "a key was left open"; }
    TestEnvironment env;
};

TEST_F(RegistryView, ClassesRootIsTheMachinesClassesAloneAsWineShowsIt) {
    RegistryWriter()
        .setString("Software\\Classes\\.both", "", "machine")
        .setString("Software\\Classes\\.both\\fromMachine", "", "m")
        .setString("Software\\Classes\\.machine", "", "m")
        .setString("Software\\Classes\\.BOTH", "", "user", RegistryHive::User)
        .setString("Software\\Classes\\.both\\fromUser", "", "u", RegistryHive::User)
        .setString("Software\\Classes\\.user", "", "u", RegistryHive::User)
        .setString("Software\\Other", "", "o", RegistryHive::User)
        .write(env);

    // The user's classes neither add keys nor override the machine's values.
    EXPECT_EQ(subKeys(HKEY_CLASSES_ROOT, ""), (std::vector<std::string>{".both", ".machine"}));
    EXPECT_EQ(defaultValue(HKEY_CLASSES_ROOT, ".BOTH"), "machine");
    EXPECT_EQ(subKeys(HKEY_CLASSES_ROOT, ".both"), std::vector<std::string>{"fromMachine"});
    EXPECT_EQ(defaultValue(HKEY_CLASSES_ROOT, ".user"), "<open 2>");
    // HKEY_CURRENT_USER still reads the user's file.
    EXPECT_EQ(defaultValue(HKEY_CURRENT_USER, "software\\classes\\.both"), "user");
    EXPECT_EQ(subKeys(HKEY_CURRENT_USER, "Software\\Classes\\.both"), std::vector<std::string>{"fromUser"});
    EXPECT_EQ(defaultValue(HKEY_LOCAL_MACHINE, "Software\\Classes\\.both"), "machine");
    EXPECT_EQ(defaultValue(HKEY_LOCAL_MACHINE, "Software\\Other"), "<open 2>");

    // Without any machine classes there is no HKEY_CLASSES_ROOT to open, whatever the user has.
    RegistryWriter().setString("Software\\Classes\\.user", "", "u", RegistryHive::User).write(env);
    EXPECT_EQ(subKeys(HKEY_CLASSES_ROOT, ""), std::vector<std::string>{"<cannot open>"});
}

TEST_F(RegistryView, HandlesAreNumberedObjectsAndMissingKeysFailWithTwo) {
    RegistryWriter().setString("Software\\Classes\\A\\B", "", "b").write(env);
    Registry& registry = Registry::process();
    HKEY a = -1;
    ASSERT_EQ(registry.RegOpenKeyEx(HKEY_CLASSES_ROOT, "A", KEY_READ, a), 0);
    HKEY b = 0;
    ASSERT_EQ(registry.RegOpenKeyEx(a, "B", KEY_READ, b), 0) << "a key opens relative to an open key";
    EXPECT_GT(a, 0);
    EXPECT_NE(a, b);
    EXPECT_EQ(a % 4, 0);

    HKEY missing = 99;
    EXPECT_EQ(registry.RegOpenKeyEx(HKEY_CLASSES_ROOT, "A\\Nope", KEY_READ, missing), 2);
    EXPECT_EQ(missing, 0);
    EXPECT_EQ(registry.RegOpenKeyEx(0, "A", KEY_READ, missing), 6);

    EXPECT_EQ(registry.RegCloseKey(b), 0);
    EXPECT_EQ(registry.RegCloseKey(b), 6) << "a handle closes once";
    EXPECT_EQ(registry.RegCloseKey(0), 6);
    std::string name;
    EXPECT_EQ(registry.RegEnumKeyEx(b, 0, 256, name), 6);
    HKEY again = 0;
    ASSERT_EQ(registry.RegOpenKeyEx(a, "b", KEY_READ, again), 0);
    EXPECT_EQ(again, b) << "a freed number is used again, as Win32 does";
    EXPECT_EQ(registry.RegCloseKey(again), 0);
    EXPECT_EQ(registry.RegCloseKey(a), 0);
    EXPECT_EQ(registry.RegCloseKey(HKEY_CLASSES_ROOT), 0);
}

TEST_F(RegistryView, KeysOpenRightInAnyOrderOfPaths) {
    // Opens reuse what the previous path found: siblings out of order, other case, a missing
    // key halfway, a path shorter than the last, one that repeats or extends it, and one that
    // merely begins with its text must all find the right key.
    RegistryWriter w;
    for (const char* name : {"a", "b", "c", "d"})
        w.setString(std::string("Software\\Classes\\K\\") + name + "\\leaf", "", name);
    w.write(env);
    const std::vector<std::pair<std::string, std::string>> opens = {{"K\\a\\leaf", "a"},
                                                                    {"K\\c\\leaf", "c"},
                                                                    {"K\\b\\leaf", "b"},
                                                                    {"K\\B\\LEAF", "b"},
                                                                    {"K\\x\\leaf", "<open 2>"},
                                                                    {"K\\d\\leaf", "d"},
                                                                    {"K\\d\\leaf\\more", "<open 2>"},
                                                                    {"k\\a\\leaf", "a"},
                                                                    {"K\\a", "<query 2>"},
                                                                    {"K\\aleaf", "<open 2>"},
                                                                    {"K\\a", "<query 2>"},
                                                                    {"K\\a\\leaf", "a"},
                                                                    {"K\\a\\leaf", "a"},
                                                                    {"K\\a\\leaf\\more", "<open 2>"},
                                                                    {"K\\a\\leaf\\more\\x", "<open 2>"},
                                                                    {"K\\a\\leaf\\", "a"}};
    // A key kept open pins the files, as during a walk, so that each open follows the one before.
    HKEY pin = 0;
    ASSERT_EQ(Registry::process().RegOpenKeyEx(HKEY_CLASSES_ROOT, "", KEY_READ, pin), 0);
    for (const auto& [path, expected] : opens)
        EXPECT_EQ(defaultValue(HKEY_CLASSES_ROOT, path), expected) << path;
    Registry::process().RegCloseKey(pin);
}

TEST_F(RegistryView, NamesAndTextsPassThroughTheAnsiCodePage) {
    const std::string name255(255, 'n');
    const std::string name256(256, 'n');
    RegistryWriter()
        .setString("Software\\Classes\\K\\" + name255, "", "x")
        .setString("Software\\Classes\\L\\" + name256, "", "x")
        .setString("Software\\Classes\\M\\caf\xC3\xA9", "", "caf\xC3\xA9 \xE6\x97\xA5")
        .setRaw("Software\\Classes\\M", "", "dword:00000001")
        .write(env);
    EXPECT_EQ(subKeys(HKEY_CLASSES_ROOT, "K"), std::vector<std::string>{name255});
    EXPECT_TRUE(subKeys(HKEY_CLASSES_ROOT, "L").empty())
        << "a name without room for its NUL ends the enumeration";
    // "é" has no place in CP932: the program sees "?", and "?" names no key.
    EXPECT_EQ(subKeys(HKEY_CLASSES_ROOT, "M"), std::vector<std::string>{"caf?"});
    EXPECT_EQ(defaultValue(HKEY_CLASSES_ROOT, "M\\caf?"), "<open 2>");

    Registry& registry = Registry::process();
    HKEY m = 0;
    ASSERT_EQ(registry.RegOpenKeyEx(HKEY_CLASSES_ROOT, "M", KEY_READ, m), 0);
    std::uint32_t type = 0;
    std::uint32_t size = 256;
    std::string text = "stale";
    EXPECT_EQ(registry.RegQueryValueEx(m, "", type, text, size), 0);
    EXPECT_EQ(type, regtype::Dword);
    EXPECT_EQ(text, "") << "a number is never handed out as text";
    registry.RegCloseKey(m);
}

TEST_F(RegistryView, EachWalkSeesTheFilesAsTheyAreWhenItStarts) {
    RegistryWriter first;
    first.setString("Software\\Classes\\.x", "", "one").write(env);
    EXPECT_EQ(defaultValue(HKEY_CLASSES_ROOT, ".x"), "one");

    Registry& registry = Registry::process();
    HKEY pin = 0;
    ASSERT_EQ(registry.RegOpenKeyEx(HKEY_CLASSES_ROOT, "", KEY_READ, pin), 0);
    // The files are replaced while a key is open.
    RegistryWriter()
        .setString("Software\\Classes\\.x", "", "two")
        .setString("Software\\Classes\\.y", "", "new")
        .write(env);
    EXPECT_EQ(defaultValue(HKEY_CLASSES_ROOT, ".x"), "one") << "a walk in progress keeps its view";
    EXPECT_EQ(defaultValue(HKEY_CLASSES_ROOT, ".y"), "<open 2>");
    registry.RegCloseKey(pin);

    EXPECT_EQ(defaultValue(HKEY_CLASSES_ROOT, ".x"), "two");
    EXPECT_EQ(defaultValue(HKEY_CLASSES_ROOT, ".y"), "new");

    // Rewritten in place with the same length, within the same clock tick: still seen.
    std::string text = test::readFile(env.prefix() + "/system.reg");
    text.replace(text.find("\"two\""), 5, "\"owt\"");
    test::writeFile(env.prefix() + "/system.reg", text);
    EXPECT_EQ(defaultValue(HKEY_CLASSES_ROOT, ".x"), "owt");
}

TEST_F(RegistryView, AFileThatIsNotARegistryIsLoggedAndReadsEmpty) {
    RegistryWriter().setString("Software\\Classes\\.u", "", "user", RegistryHive::User).write(env);
    test::writeFile(env.prefix() + "/system.reg", "REGEDIT4\r\n\r\n[HKEY_CLASSES_ROOT\\.x]\r\n@=\"x\"\r\n");
    EXPECT_EQ(defaultValue(HKEY_CLASSES_ROOT, ".x"), "<open 2>");
    EXPECT_EQ(defaultValue(HKEY_CURRENT_USER, "Software\\Classes\\.u"), "user")
        << "the other file still reads";
    const std::string log = env.errorLog();
    EXPECT_NE(log.find("system.reg"), std::string::npos) << log;

    // No prefix at all is no error: an empty registry, nothing logged.
    TestEnvironment bare;
    std::filesystem::remove_all(bare.prefix());
    EXPECT_EQ(defaultValue(HKEY_CLASSES_ROOT, ".x"), "<open 2>");
    EXPECT_FALSE(test::fileExists(bare.home() + "/Pelorix.log"));
}

struct PathCase {
    std::string stored;
    std::string seen;
};
class LibraryPaths : public ::testing::TestWithParam<PathCase> {};

TEST_P(LibraryPaths, AreMadeComparable) {
    EXPECT_EQ(normalizeLibraryPath(GetParam().stored), GetParam().seen);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, LibraryPaths,
    ::testing::Values(PathCase{"C:\\windows\\system32\\stdole2.tlb", "C:\\windows\\system32\\stdole2.tlb"},
                      PathCase{"\\\\?\\C:\\other dir\\t1_32.tlb", "C:\\other dir\\t1_32.tlb"},
                      PathCase{"\\\\?\\UNC\\server\\share\\x.tlb", "\\\\server\\share\\x.tlb"},
                      PathCase{"\\\\?\\unc\\server\\x.dll\\2", "\\\\server\\x.dll\\2"},
                      PathCase{"C:\\windows\\system32\\vbscript.dll\\3",
                               "C:\\windows\\system32\\vbscript.dll\\3"},
                      PathCase{"\\\\server\\share\\x.tlb", "\\\\server\\share\\x.tlb"},
                      PathCase{"\\\\?\\unix\\opt\\x.tlb", "\\\\?\\unix\\opt\\x.tlb"}, PathCase{"", ""}));

} // namespace
} // namespace pelorix
