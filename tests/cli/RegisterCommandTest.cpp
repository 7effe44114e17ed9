// pelorix-cli register on Linux, in a prefix made by wineboot: a built library is registered
// through Wine, so that typelibs (which reads the prefix's files) lists it, and unregistered
// again; a file without a type library is refused, naming it, and the others are registered all
// the same. (The keys themselves are compared with the OLE Automation library's own registration
// under Wine by tests/wine/register-compare.sh.)
#include "support/CliRun.h"
#include "support/TestEnvironment.h"
#include "support/TestOs.h"
#include "support/WineTools.h"

#include <filesystem>

#include <gtest/gtest.h>

namespace pelorix::cli {
namespace {

TEST(RegisterCommand, MakesABuiltLibraryVisibleToTypelibsAndTakesItAway) {
    const std::string library = PELORIX_WIDL_TYPELIBS "/compat.tlb";
    if (!std::filesystem::exists(library))
        GTEST_SKIP() << "widl made no library";
    test::TestEnvironment env;
    const auto made = test::makeWinebootPrefix(env);
    if (!made)
        GTEST_SKIP() << "32-bit Wine is not installed";
    ASSERT_EQ(made->failure, "");
    pelorix::test::setEnvironment("WINEPREFIX",
                                  made->prefix.c_str()); // the environment puts the old value back
    const std::string built = made->prefix + "/drive_c/Out/Compat.dll";
    const std::string plain = made->prefix + "/drive_c/Out/Plain.dll";
    test::writeFile(built, test::readFile(library) + "the rest of a built component");
    test::writeFile(plain, "MZ but no type library");
    const std::string key = "TypeLib\\{C0DE0000-0000-4000-8000-000000000001}\\1.0\\0\tC:\\Out\\Compat.dll";

    const test::CliOutcome registered = test::runCli({"register", plain, built});
    EXPECT_EQ(registered.status, ExitFailure);
    EXPECT_EQ(registered.out, "registered\tC:\\Out\\Compat.dll\n");
    EXPECT_NE(registered.err.find(plain + ": error 321: C:\\Out\\Plain.dll: not a type library"),
              std::string::npos)
        << registered.err;
    EXPECT_NE(test::runCli({"typelibs"}).out.find(key), std::string::npos);
    const std::string system = test::readFile(made->prefix + "/system.reg");
    EXPECT_NE(system.find(
                  "[Software\\\\Classes\\\\Interface\\\\{C0DE0000-0000-4000-8000-000000000020}\\\\TypeLib]"),
              std::string::npos);

    const test::CliOutcome unregistered = test::runCli({"register", "--unregister", built});
    EXPECT_EQ(unregistered.status, ExitOk) << unregistered.err;
    EXPECT_EQ(test::runCli({"typelibs"}).out.find("C0DE0000"), std::string::npos);
    const test::CliOutcome again = test::runCli({"register", "--unregister", built});
    EXPECT_EQ(again.status, ExitFailure);
    EXPECT_NE(again.err.find("is not registered"), std::string::npos) << again.err;
    EXPECT_EQ(test::runCli({"register"}).status, ExitUsage);
}

} // namespace
} // namespace pelorix::cli
