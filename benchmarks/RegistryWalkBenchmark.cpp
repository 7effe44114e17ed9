// The walk of the type-library registrations that every reference update runs, over a prefix
// holding 5 000 registrations: the first walk (files read and parsed) and a repeated walk of
// unchanged files.
#include "platform/CDRegistryData.h"
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

constexpr int kRegistrations = 5000;

// Registrations shaped like a developer's machine: most libraries with one version, some with
// several, a few locales, win64 siblings, resource suffixes.
RegistryWriter generated() {
    RegistryWriter w;
    for (int i = 0; i < kRegistrations; ++i) {
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

std::size_t walk() {
    pelorix::CDRegistryData data;
    std::vector<std::string> paths, keys;
    std::vector<pelorix::VbDate> times;
    data.fSetRegistryData(pelorix::HKEY_CLASSES_ROOT, "TypeLib", paths, keys, times);
    benchmark::DoNotOptimize(paths.data());
    return paths.size();
}

void BM_FirstWalk(benchmark::State& state) {
    const TestEnvironment env;
    const RegistryWriter w = generated();
    std::size_t found = 0;
    for (auto _ : state) {
        state.PauseTiming();
        w.write(env); // new files: parsed again
        ageFiles(env);
        state.ResumeTiming();
        found = walk();
    }
    state.counters["registrations"] = static_cast<double>(found);
}
BENCHMARK(BM_FirstWalk)->Unit(benchmark::kMillisecond);

void BM_RepeatedWalk(benchmark::State& state) {
    const TestEnvironment env;
    generated().write(env);
    ageFiles(env);
    std::size_t found = walk();
    for (auto _ : state)
        found = walk();
    state.counters["registrations"] = static_cast<double>(found);
}
BENCHMARK(BM_RepeatedWalk)->Unit(benchmark::kMillisecond);

// Files written within the last two seconds are compared byte for byte on each walk.
void BM_RepeatedWalkOfJustWrittenFiles(benchmark::State& state) {
    const TestEnvironment env;
    generated().write(env);
    std::size_t found = walk();
    for (auto _ : state)
        found = walk();
    state.counters["registrations"] = static_cast<double>(found);
}
BENCHMARK(BM_RepeatedWalkOfJustWrittenFiles)->Unit(benchmark::kMillisecond)->MinTime(0.5);

} // namespace

BENCHMARK_MAIN();
