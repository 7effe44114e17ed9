// What reading one library costs: a build resolves every reference of every project through
// the reader, so each call must stay far below a millisecond even for a library inside a large DLL.
#include "formats/TypeLibFiles.h"
#include "platform/TypeLibFile.h"
#include "support/TestEnvironment.h"

#include <filesystem>

#include <benchmark/benchmark.h>

namespace {

void readFile(benchmark::State& state, const std::string& windowsPath) {
    for (auto _ : state) {
        auto lib = pelorix::readTypeLibAttributes(windowsPath);
        benchmark::DoNotOptimize(lib);
        if (!lib)
            state.SkipWithError("not read");
    }
}

// A PE file of 8 MB whose TYPELIB resource lies at its end, written into a temporary prefix.
void BM_ReadLibraryAtTheEndOfALargePe(benchmark::State& state) {
    pelorix::test::TestEnvironment env;
    const auto pe = pelorix::test::makePe(
        {.typeLibs = {{1, pelorix::test::makeMsft().bytes}}, .sectionOffset = 8u << 20});
    pelorix::test::writeFile(env.driveC() + "/big.dll", pe.bytes);
    readFile(state, "C:\\big.dll");
}
BENCHMARK(BM_ReadLibraryAtTheEndOfALargePe);

// Wine's HTML library: a 1.1 MB TYPELIB resource.
void BM_ReadWineHtmlLibrary(benchmark::State& state) {
    const char* host = "/usr/lib/i386-linux-gnu/wine/i386-windows/mshtml.tlb";
    if (!std::filesystem::exists(host)) {
        state.SkipWithError("Wine is not installed");
        return;
    }
    pelorix::test::TestEnvironment env;
    readFile(state, "Z:\\usr\\lib\\i386-linux-gnu\\wine\\i386-windows\\mshtml.tlb");
}
BENCHMARK(BM_ReadWineHtmlLibrary);

void BM_ParseMsftInMemory(benchmark::State& state) {
    const std::string bytes = pelorix::test::makeMsft().bytes;
    for (auto _ : state) {
        auto lib = pelorix::parseTypeLib(bytes);
        benchmark::DoNotOptimize(lib);
    }
}
BENCHMARK(BM_ParseMsftInMemory);

} // namespace

BENCHMARK_MAIN();
