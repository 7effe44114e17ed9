// The main window's window-free rules: its settings in Pelorix.ini, the grid's column settings,
// the row each project command works on and the row the grid highlights.
#include "app/MainWindowRules.h"

#include "engine/BuildHandOver.h"
#include "lists/ProjectListFile.h"
#include "platform/CFWin32API.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

namespace pelorix::test {
namespace {

void writeIni(const TestEnvironment& env, std::string_view text) {
    writeFile(env.home() + "/Pelorix.ini", sjis(text));
}

TEST(MainWindowRulesTest, ColumnSettingsFallBackToTheirDefaultsTogether) {
    TestEnvironment env;
    CFWin32API api;
    // Reversed order, custom widths and names: all taken.
    writeIni(env, "[Form]\r\nColIndex=6,5,4,3,2,1,0\r\nColWidth=1,2,3,4,5,6,7\r\n"
                  "[Build]\r\nColNames=a,b,c,d,e,f,g\r\n");
    GridColumnSettings s = readGridColumnSettings(api);
    EXPECT_EQ(s.gridColumns, (std::vector<std::int32_t>{6, 5, 4, 3, 2, 1, 0}));
    EXPECT_EQ(s.colWidth.front(), "1");
    EXPECT_EQ(s.colNames.back(), "g");

    // Six widths have too few commas: the default widths replace them, the rest stays.
    writeIni(env, "[Form]\r\nColIndex=6,5,4,3,2,1,0\r\nColWidth=1,2,3,4,5,6\r\n");
    s = readGridColumnSettings(api);
    EXPECT_EQ(s.colWidth.front(), "470");
    EXPECT_EQ(s.gridColumns.front(), 6);
    EXPECT_EQ(s.colNames.front(), "有効");

    // Eight names against seven widths: all three defaults.
    writeIni(env, "[Form]\r\nColIndex=6,5,4,3,2,1,0\r\n[Build]\r\nColNames=a,b,c,d,e,f,g,h\r\n");
    s = readGridColumnSettings(api);
    EXPECT_EQ(s.gridColumns.front(), 0);
    EXPECT_EQ(s.colNames.size(), 7u);

    // An order that puts two logical columns on one grid column, or names a column that is not
    // there, keeps the logical order instead of hiding a column.
    for (const char* order : {"0,0,2,3,4,5,6", "0,1,2,3,4,5,9", "x,1,2,3,4,5,6"}) {
        writeIni(env, std::string("[Form]\r\nColIndex=") + order + "\r\n");
        EXPECT_EQ(readGridColumnSettings(api).gridColumns, (std::vector<std::int32_t>{0, 1, 2, 3, 4, 5, 6}))
            << order;
    }
}

TEST(MainWindowRulesTest, WindowSettingsAreWrittenQuotedAndReadBack) {
    TestEnvironment env;
    CFWin32API api;
    EXPECT_EQ(readFormSize(api).width, 11175);
    for (const char* bad : {"0,0", "wide,tall", "-5,7000", "9000"}) {
        writeIni(env, std::string("[Form]\r\nFormSize=") + bad + "\r\n");
        const FormSize size = readFormSize(api);
        EXPECT_EQ(size.width, 11175) << bad;
        EXPECT_EQ(size.height, bad == std::string("-5,7000") ? 7000 : 7215) << bad;
    }

    WindowSettingsToSave settings;
    settings.formSize = FormSize{9000, 6000};
    settings.columnWidths = {470, 500};
    settings.options.rebuildHideConfirm = false;
    settings.options.rebuildCompatibleMode = 2;
    settings.batFilePath = "C:\\b\\make.bat";
    settings.options.startupImpBat = true;
    writeWindowSettings(api, settings);
    const std::string ini = readFile(env.home() + "/Pelorix.ini");
    EXPECT_NE(ini.find("FormSize=9000,6000\r\n"), std::string::npos);
    EXPECT_NE(ini.find("ColWidth=470,500\r\n"), std::string::npos);
    EXPECT_NE(ini.find("RebuildHideConfirm=0\r\n"), std::string::npos);
    EXPECT_NE(ini.find("BatFilePath=\"C:\\b\\make.bat\"\r\n"), std::string::npos);
    EXPECT_NE(ini.find("StartupImpBat=\"1\"\r\n"), std::string::npos);
    EXPECT_NE(ini.find("NotAfterBuildTargetOff=\"0\"\r\n"), std::string::npos);
    EXPECT_EQ(readFormSize(api).height, 6000);
    EXPECT_TRUE(readWindowOptions(api).startupImpBat);
    EXPECT_FALSE(readWindowOptions(api).rebuildHideConfirm);

    // Minimised: size and widths keep what the last run wrote.
    settings.formSize.reset();
    settings.columnWidths = {1, 1};
    writeWindowSettings(api, settings);
    EXPECT_EQ(readFormSize(api).width, 9000);
    EXPECT_NE(readFile(env.home() + "/Pelorix.ini").find("ColWidth=470,500\r\n"), std::string::npos);

    // The last list and batch file count only while their files exist.
    writeFile(env.driveC() + "/list.ini", "[ProjectName]\r\n");
    writeIni(env,
             "[Build]\r\nProjectListPath=\"C:\\list.ini\"\r\n[Import]\r\nBatFilePath=\"C:\\gone.bat\"\r\n");
    const LastPaths last = readLastPaths(api);
    EXPECT_EQ(last.projectListPath, "C:\\list.ini");
    EXPECT_EQ(last.batFilePath, "");
}

// The controls that follow the window's state: the build only when idle with a mark, the exit and
// the rebuild check box but while building, the list commands refused while building.
TEST(MainWindowRulesTest, EachStateSetsEveryControl) {
    const auto controls = [](MainWindowState state, std::int32_t marks) {
        const MainWindowControls c = mainWindowControls(state, marks);
        return std::string{c.build ? 'B' : '-', c.exit ? 'X' : '-', c.rebuildConfirm ? 'R' : '-',
                           c.listCommands ? 'L' : '-'};
    };
    EXPECT_EQ(controls(MainWindowState::Idle, 2), "BXRL");
    EXPECT_EQ(controls(MainWindowState::Idle, 0), "-XRL");
    EXPECT_EQ(controls(MainWindowState::EditingCell, 2), "-XRL");
    EXPECT_EQ(controls(MainWindowState::Building, 2), "----");
}

TEST(MainWindowRulesTest, TheHighlightedRowIsADataRow) {
    ListBuildState state;
    state.index = 3;
    EXPECT_EQ(chooseBuildIndex(state, 5, {2, 4}), 3);
    state.index = 12; // a stale row of a longer list
    EXPECT_EQ(chooseBuildIndex(state, 5, {2, 4}), 2);
    EXPECT_EQ(chooseBuildIndex(state, 5, {}), 1);
    state.index.reset();
    EXPECT_EQ(chooseBuildIndex(state, 0, {}), 1);
}

TEST(MainWindowRulesTest, EachCommandFindsItsRow) {
    GridPosition p;
    p.rows = 5; // header and four data rows
    p.currentRow = 2;
    p.colEnable = 6;
    p.colFilePath = 0;

    p.mouseRow = 4;
    p.mouseCol = 6; // the mark column
    EXPECT_EQ(targetRow(ProjectCommand::Add, p), 4);
    EXPECT_EQ(targetRow(ProjectCommand::Change, p), 4);
    EXPECT_EQ(targetRow(ProjectCommand::Delete, p), 4);
    EXPECT_EQ(targetRow(ProjectCommand::Open, p), 2);

    p.mouseCol = 0; // the path column
    EXPECT_EQ(targetRow(ProjectCommand::Add, p), 2);
    EXPECT_EQ(targetRow(ProjectCommand::Delete, p), 2);
    EXPECT_EQ(targetRow(ProjectCommand::OpenFolder, p), 4);

    // A row clicked before the list shrank is no target; the current row is.
    p.mouseRow = 9;
    EXPECT_EQ(targetRow(ProjectCommand::OpenFolder, p), 2);
    p.currentRow = 0;
    EXPECT_EQ(targetRow(ProjectCommand::OpenFolder, p), std::nullopt);
}

TEST(MainWindowRulesTest, OnlyProjectFilesAreDropped) {
    EXPECT_TRUE(isProjectFileName("C:\\a\\B.VBP"));
    EXPECT_TRUE(isProjectFileName("Z:\\帳票\\b.vBp"));
    EXPECT_FALSE(isProjectFileName("C:\\a\\b.vbproj"));
    EXPECT_FALSE(isProjectFileName("C:\\a\\b.vbg"));
    EXPECT_FALSE(isProjectFileName("vbp"));
    EXPECT_EQ(applicationVersionText(), "Pelorix Ver. 1.0.1");
}

} // namespace
} // namespace pelorix::test
