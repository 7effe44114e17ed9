#pragma once

#include "platform/RuntimeError.h"
#include "projectdata/CDFileData.h"
#include "support/TestEnvironment.h"

#include <string>
#include <string_view>

#include <gtest/gtest.h>

namespace pelorix {
inline void PrintTo(const ProjectRecord& r, std::ostream* os) {
    *os << "{" << r.ProjectFilePath << " | " << r.ProjectName << " | " << r.Title << " | " << r.Description
        << " | " << r.ProjectType << " | " << r.CompatibleMode << " | " << r.StartMode << " | "
        << r.OptimizationType << "}";
}
} // namespace pelorix

namespace pelorix::test {

// A test prefix with drive C: and a project data object whose list has been reset.
// The project data with its internal steps reachable, so that each rule can be checked alone.
class InspectableFileData : public CDFileData {
public:
    using CDFileData::pAppendDrivePath;
    using CDFileData::pGetKeyValue;
    using CDFileData::pGetNewComponentByLastWriteTime;
    using CDFileData::pGetNewReferenceByLastWriteTime;
    using CDFileData::pGetNewReferenceByTypeLibInfo;
    using CDFileData::pGetProjectFilePath;
    using CDFileData::pSearchComponentLastWriteData;
    using CDFileData::pSearchKeyWord;
    using CDFileData::pSearchLastWriteData;
};

class ProjectDataTest : public ::testing::Test {
protected:
    ProjectDataTest() { data.fClearAllProjectInfo(); }

    // Writes a file below drive C: and gives its Windows path ("C:\...").
    std::string putC(std::string_view relative, std::string_view bytes) const {
        writeFile(env.driveC() + "/" + std::string(relative), bytes);
        std::string windows = "C:\\" + std::string(relative);
        for (auto& c : windows)
            if (c == '/')
                c = '\\';
        return windows;
    }
    std::string hostC(std::string_view relative) const { return env.driveC() + "/" + std::string(relative); }

    TestEnvironment env;
    InspectableFileData data;
};

// The error number a call raises, or 0 when it raises nothing.
template <class Call>
std::int32_t errorOf(Call&& call) {
    try {
        call();
    } catch (const RuntimeError& e) {
        return e.number();
    }
    return 0;
}

} // namespace pelorix::test
