// Starting a program and waiting for it: each compiler run of a build pays this once, so what
// Pelorix adds on top of the program's own run time (finding it, starting it, noticing its end,
// reaping it) must stay small whatever the wait slice. Splitting the command line and resolving a
// project path are measured beside it.
#include "platform/CFWin32API.h"
#include "platform/CommandLine.h"
#include "support/TestEnvironment.h"

#include <benchmark/benchmark.h>

namespace {

void BM_RunProgramThatEndsAtOnce(benchmark::State& state) {
    const pelorix::test::TestEnvironment env;
    pelorix::CFWin32API api;
    const bool cancel = false;
    const auto slice = static_cast<std::int32_t>(state.range(0));
    for (auto _ : state) {
        if (!api.CreateProcess_Execute("", R"(Z:\bin\true /make "C:\proj\a b.vbp")", 0, slice, cancel,
                                       600000))
            state.SkipWithError("the program did not end");
    }
}
BENCHMARK(BM_RunProgramThatEndsAtOnce)->Arg(0)->Arg(50)->Arg(5000)->Unit(benchmark::kMillisecond);

void BM_SplitCompilerCommandLine(benchmark::State& state) {
    const std::string line = R"("C:\Program Files\Microsoft Visual Studio\VB98\VB6.EXE" /out )"
                             R"("C:\Pelorix\プロジェクト.log" /make "C:\ソース\表示 画面\プロジェクト.vbp")";
    for (auto _ : state)
        benchmark::DoNotOptimize(pelorix::splitCommandLine(line));
}
BENCHMARK(BM_SplitCompilerCommandLine);

void BM_CanonicalizeProjectPath(benchmark::State& state) {
    pelorix::CFWin32API api;
    const std::string path = R"(C:\ソース\表示 画面\sub\..\..\共通\.\モジュール\..\Module1.bas)";
    for (auto _ : state)
        benchmark::DoNotOptimize(api.fPathCanonicalize(path));
}
BENCHMARK(BM_CanonicalizeProjectPath);

} // namespace
BENCHMARK_MAIN();
