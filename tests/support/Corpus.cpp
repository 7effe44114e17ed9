#include "support/Corpus.h"

#include "support/TestEnvironment.h"

#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

namespace pelorix::test {

std::vector<std::string> corpusFiles(const std::string& folder, std::size_t expected) {
    const std::string root = PELORIX_CORPUS_DIR;
    if (!std::filesystem::is_directory(root)) {
        if (std::getenv("PELORIX_REQUIRE_CORPUS") != nullptr) {
            ADD_FAILURE() << "no corpus at " << root << ", and PELORIX_REQUIRE_CORPUS asks for it";
            return {};
        }
        [&] { GTEST_SKIP() << "no corpus at " << root << ": the tests of real files are skipped"; }();
        return {};
    }
    std::vector<std::string> files;
    for (const std::string& name : folderEntries(root + "/" + folder))
        files.push_back(root + "/" + folder + "/" + name);
    if (files.size() < expected) {
        ADD_FAILURE() << root << "/" << folder << " holds " << files.size() << " files, fewer than the "
                      << expected << " expected";
        return {};
    }
    return files;
}

} // namespace pelorix::test
