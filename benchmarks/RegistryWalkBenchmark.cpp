// The walk of the type-library registrations that every reference update runs, over a prefix
// holding 5 000 or 50 000 registrations: the first walk (files read and parsed), a repeated walk
// of unchanged files by the same owner (the kept result handed out again), and the index that
// reference resolution builds once per walk.
#include "platform/CDRegistryData.h"
#include "projectdata/RegistrationIndex.h"
#include "support/RegistryWriter.h"
#include "support/TestEnvironment.h"

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>

#include <benchmark/benchmark.h>

namespace {

using pelorix::test::RegistryWriter;
using pelorix::test::TestEnvironment;
using pelorix::test::TypeLibRegistration;

// Registrations shaped like a developer's machine: most libraries with one version, some with
// several, a few locales, win64 siblings, resource suffixes.
RegistryWriter generated(std::int64_t registrations) {
    RegistryWriter w;
    for (int i = 0; i < registrations; ++i) {
        TypeLibRegistration lib;
        char guid[64];
        std::snprintf(guid, sizeof guid, "{%08X-%04X-11D2-A8E9-00104B365C9F}", 0x1000 + i / 2, i % 7);
        lib.guid = guid;
        lib.version = std::to_string(1 + i % 2) + "." + std::to_string(i % 3);
        lib.locale = i % 10 == 0 ? "411" : "0";
        lib.win32 = "C:\\Program Files\\Common Files\\Vendor " + std::to_string(i % 50) + "\\lib" +
                    std::to_string(i) + (i % 9 == 0 ? ".dll\\2" : ".tlb");
        if (i % 4 == 0)
            lib.win64 = "C:\\Program Files\\Common Files\\x64\\lib" + std::to_string(i) + ".tlb";
        lib.time = pelorix::test::RegistryKeyTime::unixWithFileTime(1700000000 + i, 123456700);
        w.addTypeLib(lib);
    }
    return w;
}

// Moves the files' modification time into the past, as for a prefix the wineserver saved a
// while ago, so that the files' identity alone tells that they are unchanged.
void ageFiles(const TestEnvironment& env) {
    const timespec past[2] = {{1700000000, 0}, {1700000000, 0}};
    for (const char* name : {"/system.reg", "/user.reg"})
        ::utimensat(AT_FDCWD, (env.prefix() + name).c_str(), past, 0);
}

std::size_t walk(pelorix::CDRegistryData& data) {
    const auto found = data.registrations(pelorix::HKEY_CLASSES_ROOT, "TypeLib");
    benchmark::DoNotOptimize(found.get());
    return found->libraryPaths.size();
}

void BM_FirstWalk(benchmark::State& state) {
    const TestEnvironment env;
    const RegistryWriter w = generated(state.range(0));
    std::size_t found = 0;
    for (auto _ : state) {
        state.PauseTiming();
        w.write(env); // new files: parsed again
        ageFiles(env);
        pelorix::CDRegistryData data;
        state.ResumeTiming();
        found = walk(data);
    }
    state.counters["registrations"] = static_cast<double>(found);
}
BENCHMARK(BM_FirstWalk)->Arg(5000)->Arg(50000)->Unit(benchmark::kMillisecond);

// Every project of a build after the first: the owner's kept walk is handed out again.
void BM_RepeatedWalk(benchmark::State& state) {
    const TestEnvironment env;
    generated(state.range(0)).write(env);
    ageFiles(env);
    pelorix::CDRegistryData data;
    std::size_t found = walk(data);
    for (auto _ : state)
        found = walk(data);
    state.counters["registrations"] = static_cast<double>(found);
}
BENCHMARK(BM_RepeatedWalk)->Arg(5000)->Arg(50000)->Unit(benchmark::kMicrosecond);

// Files written within the last two seconds are compared byte for byte on each walk.
void BM_RepeatedWalkOfJustWrittenFiles(benchmark::State& state) {
    const TestEnvironment env;
    generated(state.range(0)).write(env);
    pelorix::CDRegistryData data;
    std::size_t found = walk(data);
    for (auto _ : state)
        found = walk(data);
    state.counters["registrations"] = static_cast<double>(found);
}
BENCHMARK(BM_RepeatedWalkOfJustWrittenFiles)->Arg(5000)->Unit(benchmark::kMillisecond)->MinTime(0.5);

// The index a walk's registrations get once, for all the projects that use the walk.
void BM_IndexRegistrations(benchmark::State& state) {
    const TestEnvironment env;
    generated(state.range(0)).write(env);
    pelorix::CDRegistryData data;
    const auto registrations = data.registrations(pelorix::HKEY_CLASSES_ROOT, "TypeLib");
    for (auto _ : state) {
        const pelorix::RegistrationIndex index(registrations);
        benchmark::DoNotOptimize(index.newestOfLibrary("C:\\x.tlb"));
    }
}
BENCHMARK(BM_IndexRegistrations)->Arg(5000)->Arg(50000)->Unit(benchmark::kMillisecond);

// The first look-up of a component's file name (a scan of all paths) and a repeated one.
void BM_ComponentLookup(benchmark::State& state) {
    const TestEnvironment env;
    generated(state.range(0)).write(env);
    pelorix::CDRegistryData data;
    const pelorix::RegistrationIndex index(data.registrations(pelorix::HKEY_CLASSES_ROOT, "TypeLib"));
    int n = 0;
    for (auto _ : state) {
        const std::string name = "lib" + std::to_string(n++ % 1000000) + ".tlb";
        benchmark::DoNotOptimize(index.newestContaining(name));
        benchmark::DoNotOptimize(index.newestContaining(name));
    }
}
BENCHMARK(BM_ComponentLookup)->Arg(5000)->Arg(50000)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
