#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace pelorix::test {

// The real files of one folder of the corpus beside the checkout ("../shared/corpus": project
// files, groups and batch files from public repositories), as sorted host paths.
//
// A clone of the project alone has no corpus: the calling test is then skipped with a message, or
// fails when PELORIX_REQUIRE_CORPUS is set (CI sets it, so that the corpus tests always run
// there). A folder that holds fewer files than expected fails the test. In both cases the result
// is empty and the test should return.
std::vector<std::string> corpusFiles(const std::string& folder, std::size_t expected);

} // namespace pelorix::test
