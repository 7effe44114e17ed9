#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pelorix {

class BuildRecord;

// A recorded run as the JUnit XML report that CI servers read: one test suite for the run, named
// after the list (or group) file, with the run's result code as the property "result" (absent
// when a run-time error ended the run); one test case per target, named after the project, its
// class name the project file's path and its time the project's build time. A project that
// failed has a "failure" (the classified compiler message and where its first compile error is,
// the compiler log's lines with the logs it refers to; the test case then names that error's
// file and line in the attributes "file" and "line"), one whose
// file could not be updated or that a run-time error stopped an "error", one the run never built
// (a stop, a cancel) or found up to date is "skipped"; each built project carries its build-log lines as its
// output.
std::string junitReportXml(const BuildRecord& record, std::string_view suiteName);

// Writes the report to a host path in one step: the file holds either what it held before or the
// whole report. Returns a Win32 code (0 = written).
std::int32_t writeJUnitReport(const BuildRecord& record, std::string_view suiteName,
                              const std::string& hostPath);

// What a result code of a project or a run means, in a few words ("project or library not
// found" for 5).
std::string resultCodeText(std::int16_t result);

} // namespace pelorix
