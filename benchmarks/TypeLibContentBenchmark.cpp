// What reading a whole library, its text and the comparison of two versions cost on a library of
// about 2 MB: widl compiles a generated IDL file of many dual interfaces (and a second version
// with a few changes) once per run. The goal: the dump and the comparison in under 50 ms. Also
// what a failed binary-compatible build of a project of that size adds: the lines that say what
// broke, from its compatible file and its output on a test prefix's drive.
#include "engine/BinaryCompatibility.h"
#include "formats/TypeLibCompat.h"
#include "formats/TypeLibContent.h"
#include "formats/TypeLibText.h"
#include "support/TestEnvironment.h"
#include "support/WineTools.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>

#include <benchmark/benchmark.h>

namespace {

// widl (Wine 8's, version 7.0) crashes on libraries of some 500 types or more: the size comes
// from the members.
constexpr int Interfaces = 130;
constexpr int Methods = 155;

// A library of many dual interfaces with enums, records and classes; version 2 adds a method at
// the end of every tenth interface and changes a parameter's type in every fiftieth.
std::string generatedIdl(int version) {
    std::ostringstream idl;
    idl << "import \"oaidl.idl\";\n[uuid(B0B0B0B0-0000-4000-8000-000000000001), version(" << version
        << ".0)]\nlibrary Large\n{\n    importlib(\"stdole2.tlb\");\n";
    for (int i = 0; i < Interfaces; ++i) {
        char uuid[40];
        std::snprintf(uuid, sizeof uuid, "B0B0B0B0-%04X-4000-8000-000000000002", i);
        idl << "    typedef [uuid(" << uuid << ")] enum Kind" << i << " { Kind" << i << "A = 1, Kind" << i
            << "B = " << (i + 2) << " } Kind" << i << ";\n";
        std::snprintf(uuid, sizeof uuid, "B0B0B0B0-%04X-4000-8000-000000000003", i);
        if (i % 2 == 0)
            idl << "    typedef [uuid(" << uuid << ")] struct Rec" << i
                << " { long a; double b; BSTR c; } Rec" << i << ";\n";
        std::snprintf(uuid, sizeof uuid, "B0B0B0B0-%04X-4000-8000-000000000004", i);
        idl << "    [uuid(" << uuid << "), dual, oleautomation, helpstring(\"Interface " << i << "\")]\n"
            << "    interface IThing" << i << " : IDispatch {\n";
        for (int m = 0; m < Methods; ++m) {
            const bool changed = version == 2 && i % 50 == 0 && m == 3;
            idl << "        [id(" << (m + 1) << ")] HRESULT Method" << m << "([in] "
                << (changed ? "double" : "long")
                << " count, [in] BSTR name, [in, out] VARIANT* data, [in, optional] VARIANT extra, "
                << "[out, retval] Kind" << i << "* result);\n";
        }
        if (version == 2 && i % 10 == 0)
            idl << "        [id(" << (Methods + 1) << ")] HRESULT Added([in] long x);\n";
        idl << "    };\n";
        std::snprintf(uuid, sizeof uuid, "B0B0B0B0-%04X-4000-8000-000000000005", i);
        if (i % 2 == 0)
            idl << "    [uuid(" << uuid << ")] coclass Thing" << i << " { [default] interface IThing" << i
                << "; };\n";
    }
    idl << "};\n";
    return idl.str();
}

// The two versions' bytes, compiled once; empty when widl or Wine's stdole2.tlb is missing.
struct Libraries {
    std::string oldBytes;
    std::string newBytes;
};

const Libraries& libraries() {
    static const Libraries made = [] {
        Libraries l;
        const std::string widl =
            pelorix::test::findProgram({"widl", "/usr/lib/wine/widl", "/usr/bin/widl-stable"});
        const std::string tree = pelorix::test::wineI386Tree;
        if (widl.empty() || !std::filesystem::exists(tree + "/stdole2.tlb"))
            return l;
        const std::string folder = std::filesystem::temp_directory_path() / "pelorix-typelib-benchmark";
        std::filesystem::create_directories(folder);
        for (int version : {1, 2}) {
            const std::string idl = folder + "/large" + std::to_string(version) + ".idl";
            const std::string tlb = folder + "/large" + std::to_string(version) + ".tlb";
            pelorix::test::writeFile(idl, generatedIdl(version));
            const std::string command =
                "'" + widl + "' --win32 -L '" + tree + "' -t -o '" + tlb + "' '" + idl + "'";
            if (std::system(command.c_str()) != 0)
                return Libraries{};
            (version == 1 ? l.oldBytes : l.newBytes) = pelorix::test::readFile(tlb);
        }
        std::filesystem::remove_all(folder);
        return l;
    }();
    return made;
}

bool ready(benchmark::State& state) {
    if (libraries().oldBytes.empty()) {
        state.SkipWithError("widl or Wine's stdole2.tlb is missing");
        return false;
    }
    state.counters["library_bytes"] = static_cast<double>(libraries().oldBytes.size());
    return true;
}

void BM_ReadWholeLibrary(benchmark::State& state) {
    if (!ready(state))
        return;
    for (auto _ : state)
        benchmark::DoNotOptimize(pelorix::readTypeLibrary(libraries().oldBytes));
}
BENCHMARK(BM_ReadWholeLibrary)->Unit(benchmark::kMillisecond);

void BM_LibraryText(benchmark::State& state) {
    if (!ready(state))
        return;
    const pelorix::TypeLibrary lib = pelorix::readTypeLibrary(libraries().oldBytes);
    for (auto _ : state)
        benchmark::DoNotOptimize(pelorix::typeLibraryText(lib));
}
BENCHMARK(BM_LibraryText)->Unit(benchmark::kMillisecond);

void BM_CompareTwoVersions(benchmark::State& state) {
    if (!ready(state))
        return;
    const pelorix::TypeLibrary oldLib = pelorix::readTypeLibrary(libraries().oldBytes);
    const pelorix::TypeLibrary newLib = pelorix::readTypeLibrary(libraries().newBytes);
    for (auto _ : state)
        benchmark::DoNotOptimize(pelorix::compare(oldLib, newLib));
}
BENCHMARK(BM_CompareTwoVersions)->Unit(benchmark::kMillisecond);

// What `typelib-info --members` and `compat` do together: read both versions, print one, compare.
void BM_DumpAndCompare(benchmark::State& state) {
    if (!ready(state))
        return;
    std::size_t differences = 0;
    for (auto _ : state) {
        const pelorix::TypeLibrary oldLib = pelorix::readTypeLibrary(libraries().oldBytes);
        const pelorix::TypeLibrary newLib = pelorix::readTypeLibrary(libraries().newBytes);
        benchmark::DoNotOptimize(pelorix::typeLibraryText(oldLib));
        differences = pelorix::compare(oldLib, newLib).size();
    }
    state.counters["differences"] = static_cast<double>(differences);
}
BENCHMARK(BM_DumpAndCompare)->Unit(benchmark::kMillisecond);

// A project whose compatible file is version 1 and whose rebuilt output is version 2: both files
// read through the platform layer, their ids taken by name, compared, and the lines made.
void BM_ExplainAFailedBuild(benchmark::State& state) {
    if (!ready(state))
        return;
    const pelorix::test::TestEnvironment env;
    const std::string folder = env.driveC() + "/src/large";
    pelorix::test::writeFile(folder + "/compat/Large.dll", libraries().oldBytes);
    pelorix::test::writeFile(folder + "/Large.dll", libraries().newBytes);
    pelorix::test::writeFile(folder + "/Large.vbp",
                             "Type=OleDll\r\nName=\"Large\"\r\nCompatibleMode=\"2\"\r\n"
                             "CompatibleEXE32=\"compat\\Large.dll\"\r\n");
    const std::string project = pelorix::test::TestEnvironment::windowsPath(folder + "/Large.vbp");
    std::size_t lines = 0;
    for (auto _ : state)
        lines = pelorix::explainCompatibility(project, pelorix::CompatOutput::Rebuilt).size();
    state.counters["lines"] = static_cast<double>(lines);
}
BENCHMARK(BM_ExplainAFailedBuild)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
