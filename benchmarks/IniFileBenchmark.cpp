// Reading and writing one value of a settings file of realistic size: every profile call parses
// the file afresh, so a whole start-up's worth of reads must stay cheap.
#include "formats/IniFile.h"
#include "platform/CodePage.h"

#include <string>

#include <benchmark/benchmark.h>

namespace {

// A settings file of 20 sections of 50 keys each, in CP932, with comments and Japanese values.
std::string settingsFile() {
    std::string text;
    for (int s = 0; s < 20; ++s) {
        text += "; 区分 " + std::to_string(s) + "\r\n[Section" + std::to_string(s) + "]\r\n";
        for (int k = 0; k < 50; ++k)
            text += "Key" + std::to_string(k) + "=値 C:\\プロジェクト\\表示" + std::to_string(k) + ".vbp\r\n";
        text += "\r\n";
    }
    return pelorix::encodeTo("CP932", text);
}

void BM_ReadLastValue(benchmark::State& state) {
    const std::string file = settingsFile();
    for (auto _ : state)
        benchmark::DoNotOptimize(
            pelorix::readIniValue(file, "section19", "KEY49", "CP932", pelorix::codePages()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.size()));
}
BENCHMARK(BM_ReadLastValue);

void BM_WriteLastValue(benchmark::State& state) {
    const std::string file = settingsFile();
    for (auto _ : state)
        benchmark::DoNotOptimize(
            pelorix::writeIniValue(file, "Section19", "Key49", "新しい値", "CP932", pelorix::codePages()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.size()));
}
BENCHMARK(BM_WriteLastValue);

} // namespace

BENCHMARK_MAIN();
