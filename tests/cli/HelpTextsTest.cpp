// Every help text says what holds on the system it runs on: the system's texts fill every place
// a help text leaves for them, and the texts speak of this system alone.
#include "cli/Cli.h"
#include "platform/SystemTexts.h"
#include "support/CliRun.h"

#include <regex>
#include <string>

#include <gtest/gtest.h>

namespace pelorix::cli {
namespace {

using test::runCli;

// The help of the overview and of every command.
std::vector<std::string> allHelpTexts() {
    std::vector<std::string> texts{runCli({"--help"}).out};
    for (const Command& command : commands())
        texts.push_back(runCli({std::string(command.name), "--help"}).out);
    return texts;
}

TEST(HelpTexts, EveryPlaceForTheSystemIsFilledAndEveryTextIsUsed) {
    const std::regex place(R"(\{[a-z-]+\})"); // "{GUID}" in a key path is no place
    std::string all;
    for (const std::string& text : allHelpTexts()) {
        EXPECT_FALSE(std::regex_search(text, place)) << text;
        all += text;
    }
    for (const SystemText& system : systemTexts()) {
        if (!system.text.empty()) {
            EXPECT_NE(all.find(system.text), std::string::npos) << system.key << " is told nowhere";
        }
    }
}

TEST(HelpTexts, SpeakOfTheSystemTheyRunOn) {
    const std::string build = runCli({"build", "--help"}).out;
    const std::string typelibs = runCli({"typelibs", "--help"}).out;
#ifdef _WIN32
    for (const std::string& text : {build, typelibs, runCli({"--help"}).out}) {
        EXPECT_EQ(text.find("prefix"), std::string::npos) << text;
        EXPECT_EQ(text.find("SIGHUP"), std::string::npos) << text;
    }
    EXPECT_NE(build.find("Ctrl+Break"), std::string::npos);
    EXPECT_NE(build.find("%APPDATA%\\pelorix"), std::string::npos);
    EXPECT_NE(typelibs.find("32-bit view"), std::string::npos);
#else
    EXPECT_NE(build.find("130 SIGINT, 143 SIGTERM, 129 SIGHUP"), std::string::npos);
    EXPECT_NE(build.find("~/.config/pelorix"), std::string::npos);
    EXPECT_EQ(build.find("Ctrl+"), std::string::npos);
    EXPECT_NE(typelibs.find("system.reg alone"), std::string::npos);
#endif
}

} // namespace
} // namespace pelorix::cli
