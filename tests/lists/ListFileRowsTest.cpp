// Where the window's rows stand in a list file that still has its own project order: the rows
// the marks written on close go to.
#include "lists/ProjectListFile.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

namespace pelorix::test {
namespace {

TEST(ProjectListFile, WindowRowsAreFoundAsTheFileRowsOfTheSameProjects) {
    TestEnvironment env;
    writeFile(env.driveC() + "/l/list.ini", "; the nightly list\r\n[ProjectName]\r\nC:\\p\\A.vbp\r\n"
                                            "C:\\p\\B.vbp\r\n\r\nC:\\p\\A.vbp\r\nC:\\p\\C.vbp\r\n"
                                            "[Build]\r\nEnableState=1,\r\n");
    const std::string list = "C:\\l\\list.ini";
    struct Case {
        const char* what;
        std::vector<std::string> rows;
        std::vector<std::int32_t> fileRows;
    };
    const std::vector<Case> cases = {
        {"unchanged", {"C:\\p\\A.vbp", "C:\\p\\B.vbp", "C:\\p\\A.vbp", "C:\\p\\C.vbp"}, {1, 2, 3, 4}},
        {"sorted", {"C:\\p\\C.vbp", "C:\\p\\A.vbp", "C:\\p\\B.vbp", "C:\\p\\A.vbp"}, {4, 1, 2, 3}},
        {"one deleted", {"C:\\p\\B.vbp", "C:\\p\\A.vbp", "C:\\p\\C.vbp"}, {2, 1, 4}},
        {"one added", {"C:\\p\\A.vbp", "C:\\p\\New.vbp", "C:\\p\\B.vbp"}, {1, 0, 2}},
        {"a third copy of A", {"C:\\p\\A.vbp", "C:\\p\\A.vbp", "C:\\p\\A.vbp"}, {1, 3, 0}},
        {"other case", {"c:\\P\\c.VBP"}, {4}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(listFileRows(list, c.rows), c.fileRows) << c.what;

    // Without a file to read there is no other order: each row is its own.
    EXPECT_EQ(listFileRows("C:\\l\\gone.ini", {"C:\\p\\C.vbp", "C:\\p\\A.vbp"}),
              (std::vector<std::int32_t>{1, 2}));
    EXPECT_EQ(listFileRows("", {"C:\\p\\C.vbp"}), (std::vector<std::int32_t>{1}));
}

} // namespace
} // namespace pelorix::test
