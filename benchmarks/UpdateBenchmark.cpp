// One project file update as a build makes it before each compile: 60 reference lines and 20
// component lines against 5 000 type-library registrations already read from the registry.
#include "projectdata/CDFileData.h"
#include "projectdata/IBuildLog.h"
#include "support/TestEnvironment.h"

#include <cstdio>
#include <string>

#include <benchmark/benchmark.h>

namespace {

std::string guid(int n) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "{%08X-0000-0000-C000-%012X}", n, n * 7);
    return buffer;
}

void BM_UpdateProjectFile(benchmark::State& state) {
    pelorix::test::TestEnvironment env;
    std::string project = "Type=OleDll\r\n";
    for (int i = 0; i < 60; ++i) {
        pelorix::test::writeFile(env.driveC() + "/lib/lib" + std::to_string(i) + ".dll", "x");
        project += "Reference=*\\G" + guid(i) + "#1.0#0#C:\\lib\\lib" + std::to_string(i) + ".dll#Library " +
                   std::to_string(i) + "\r\n";
    }
    for (int i = 0; i < 20; ++i)
        project += "Object=" + guid(1000 + i) + "#1.0#0; ctl" + std::to_string(i) + ".ocx\r\n";
    for (int i = 0; i < 40; ++i)
        project += "Class=C" + std::to_string(i) + "; C" + std::to_string(i) + ".cls\r\n";
    project += "Name=\"Bench\"\r\nCompatibleMode=\"0\"\r\nCompatibleEXE32=\"b.dll\"\r\nVersionCompatible32="
               "\"1\"\r\n";
    pelorix::test::writeFile(env.driveC() + "/proj/P.vbp", project);

    pelorix::TypeLibRegistrations registry;
    for (int i = 0; i < 5000; ++i) {
        const bool library = i % 60 == 0 && i / 60 < 60;
        const bool control = i % 97 == 0 && i / 97 < 20;
        const std::string path = library ? "C:\\lib\\lib" + std::to_string(i / 60) + ".dll"
                                 : control
                                     ? "C:\\Windows\\System32\\ctl" + std::to_string(i / 97) + ".ocx"
                                     : "C:\\Program Files\\Vendor\\Product " + std::to_string(i) + "\\x.dll";
        registry.libraryPaths.push_back(path);
        registry.keyPaths.push_back("TypeLib\\" + guid(i) + "\\2." + std::to_string(i % 16) + "\\0");
        registry.writeTimes.push_back(45000.0 + i / 1000.0);
    }

    pelorix::CDFileData data;
    data.setRegistrationSource([&registry] { return registry; });
    data.UpdateComponentReference(true);
    pelorix::MemoryBuildLog log;
    for (auto _ : state) {
        // Every update starts from the original file, so that every line the rules name changes.
        pelorix::test::writeFile(env.driveC() + "/proj/P.vbp", project);
        log.clear();
        benchmark::DoNotOptimize(data.fUpdateProjectFileInfo("C:\\proj\\P.vbp", 2, "C:\\Windows", log));
    }
    state.counters["logLines"] = static_cast<double>(log.lines().size());
}
BENCHMARK(BM_UpdateProjectFile)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
