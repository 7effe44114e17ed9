#include "forms/LogPlacement.h"

#include "platform/CFWin32API.h"
#include "support/TestEnvironment.h"

#include <string>

#include <gtest/gtest.h>

namespace pelorix::test {
namespace {

struct PlacementCase {
    const char* name;
    const char* formSize;     // nullptr: no key
    const char* formPosition; // nullptr: no key
    FormPlacement expected;
};

// The main window at 1500,1200, 9000 x 6001 twips: the defaults are 1500,1200, 9000 x 2000.
class LogWindowPlacement : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(LogWindowPlacement, ComesFromTheSettingsPartByPartWithTheMainWindowsDefaults) {
    TestEnvironment env;
    CFWin32API api;
    if (GetParam().formSize != nullptr)
        api.SetTerminalProfile("Log", "FormSize", GetParam().formSize);
    if (GetParam().formPosition != nullptr)
        api.SetTerminalProfile("Log", "FormPosition", GetParam().formPosition);
    EXPECT_EQ(readLogPlacement(api, {1500, 1200, 9000, 6001}), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, LogWindowPlacement,
    ::testing::Values(PlacementCase{"None", nullptr, nullptr, {1500, 1200, 9000, 2000}},
                      PlacementCase{"Saved", "\"7000,3000\"", "\"-200,45\"", {-200, 45, 7000, 3000}},
                      PlacementCase{"ZeroSizeIsTheDefault", "0,0", nullptr, {1500, 1200, 9000, 2000}},
                      PlacementCase{"NoCommaKeepsTheDefaults", "7000", "300", {1500, 1200, 9000, 2000}},
                      PlacementCase{"EachPartOnItsOwn", "7000,abc", "abc,300", {1500, 300, 7000, 2000}},
                      PlacementCase{"NegativeWidth", "-5,3000", nullptr, {1500, 1200, 9000, 3000}},
                      PlacementCase{
                          "FractionsRoundHalfToEven", "7000.5, 3001.5", nullptr, {1500, 1200, 7000, 3002}},
                      // A number too large for a window is no number: the window still opens.
                      PlacementCase{"TooLarge", "99999999999,3000", "1,99999999999", {1, 1200, 9000, 3000}}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(LogWindowPlacement, IsWrittenQuotedAndReadBack) {
    TestEnvironment env;
    CFWin32API api;
    writeLogPlacement(api, {-15, 30, 10500, 3000});
    EXPECT_NE(
        readFile(env.home() + "/Pelorix.ini").find("FormSize=\"10500,3000\"\r\nFormPosition=\"-15,30\""),
        std::string::npos);
    EXPECT_EQ(readLogPlacement(api, {0, 0, 1, 1}), (FormPlacement{-15, 30, 10500, 3000}));
}

// Saved places and sizes against an available area at 300,450 of 24000 x 15000 twips: what fits
// stays, what is larger is the area's, what lies outside is moved in; no number overflows.
TEST(BoundedToArea, KeepsEveryPlacementOnTheAvailableArea) {
    const FormPlacement area{300, 450, 24000, 15000};
    const struct {
        FormPlacement saved;
        FormPlacement expected;
    } cases[] = {
        {{0, 0, 2147483647, 2147483647}, {300, 450, 24000, 15000}},
        {{2147483647, 2147483647, 9000, 2000}, {15300, 13450, 9000, 2000}},
        {{-2147483647 - 1, -2147483647 - 1, 9000, 2000}, {300, 450, 9000, 2000}},
        {{1000, 1000, -5, 0}, {1000, 1000, 0, 0}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(boundedToArea(c.saved, area), c.expected)
            << c.saved.left << "," << c.saved.top << " " << c.saved.width << "x" << c.saved.height;
}

} // namespace
} // namespace pelorix::test
