#include "platform/Numbers.h"

#include "platform/CFWin32API.h"
#include "support/TestEnvironment.h"
#include "support/TestOs.h"

#include <clocale>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

namespace pelorix {
namespace {

// Switches the C locale to a comma-decimal one for the test's lifetime. When the machine does not
// have it, it is generated into the test's folder (LOCPATH), which needs no root.
class CommaDecimalLocale {
public:
    explicit CommaDecimalLocale(const test::TestEnvironment& env) {
        m_previous = std::setlocale(LC_ALL, nullptr);
        if (std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr)
            return;
        const std::string generated = env.path("locales/de_DE.UTF-8");
        if (std::system(("localedef -i de_DE -f UTF-8 '" + generated + "' >/dev/null 2>&1").c_str()) == 0) {
            pelorix::test::setEnvironment("LOCPATH", (env.root() + "/locales").c_str());
            std::setlocale(LC_ALL, "de_DE.UTF-8");
        }
    }
    ~CommaDecimalLocale() {
        std::setlocale(LC_ALL, m_previous.c_str());
        pelorix::test::unsetEnvironment("LOCPATH");
    }
    CommaDecimalLocale(const CommaDecimalLocale&) = delete;
    CommaDecimalLocale& operator=(const CommaDecimalLocale&) = delete;

    // The C library's own reading of "1.5" is 1 once the locale is in force.
    static bool active() { return std::strtod("1.5", nullptr) == 1.0; }

private:
    std::string m_previous;
};

struct Readings {
    std::optional<double> half;
    std::optional<std::int32_t> fraction;
    std::optional<std::int32_t> large;
    std::string setting;

    bool operator==(const Readings&) const = default;
};

Readings readAll() {
    return {numberValue("1.5"), longValue("0.4"), longValue("1024.7"),
            CFWin32API().GetTerminalProfile("Build", "BufferSize")};
}

TEST(Numbers, ReadTheSameUnderACommaDecimalLocale) {
    test::TestEnvironment env;
    test::writeFile(env.home() + "/Pelorix.ini", "[Build]\r\nBufferSize=1024.7\r\n");
    const Readings plain = readAll();
    EXPECT_EQ(plain.half, 1.5);
    EXPECT_EQ(plain.fraction, 0);
    EXPECT_EQ(plain.large, 1025);
    EXPECT_EQ(longValue(plain.setting), 1025);

    CommaDecimalLocale locale(env);
    if (!CommaDecimalLocale::active())
        GTEST_SKIP() << "no comma-decimal locale could be generated (localedef de_DE.UTF-8 failed)";
    EXPECT_EQ(readAll(), plain);
    EXPECT_EQ(numberValue("1,5"), std::nullopt);
}

TEST(Numbers, AcceptAndRoundByOneRule) {
    // The minus sign and the point may stand anywhere among the digits; nothing else may.
    EXPECT_EQ(numberValue(" -2.5 "), -2.5);
    EXPECT_EQ(numberValue("2.5-"), -2.5);
    EXPECT_EQ(numberValue(".-5"), -0.5);
    EXPECT_EQ(numberValue("7."), 7.0);
    for (const char* refused : {"", " ", "-", ".", "1e3", "+1", "0x10", "1.2.3", "--1", "1 2", "1,5"})
        EXPECT_EQ(numberValue(refused), std::nullopt) << refused;

    // Half to even wherever an integer is needed.
    EXPECT_EQ(longValue("0.5"), 0);
    EXPECT_EQ(longValue("1.5"), 2);
    EXPECT_EQ(longValue("2.5"), 2);
    EXPECT_EQ(longValue("-1.5"), -2);
    EXPECT_EQ(integerValue("32767.4"), 32767);
    EXPECT_EQ(integerValue("32767.5"), std::nullopt);
    EXPECT_EQ(longValue("99999999999"), std::nullopt);
    EXPECT_EQ(longValue(std::string(400, '9')), std::nullopt);
    EXPECT_EQ(numberValue("0." + std::string(400, '0') + "1"), 0.0);
}

} // namespace
} // namespace pelorix
