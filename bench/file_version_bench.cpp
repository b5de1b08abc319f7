// Reading a file's version, per file: CVersion over a typical DLL (a PE file with a string
// table and a version block of two languages), PE32+ and PE32, over the library's own
// shared object, and the three platform calls alone. Run from the build folder, or with
// NAVOTOOLS_BENCH_FIXTURES naming the folder that holds the test fixtures.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "NavoTools.h"

namespace {

std::string FixtureFolder() {
    if (const char* folder = getenv("NAVOTOOLS_BENCH_FIXTURES")) return folder;
    return NAVOTOOLS_BENCH_FIXTURES_DEFAULT;
}

std::string Fixture(const char* name) { return FixtureFolder() + "/" + name; }

void ReadWithCVersion(benchmark::State& state, const std::string& file) {
    CString name(file.c_str());
    CVersion probe(name);
    if (probe.GetVersion() == 0) {
        state.SkipWithError(("no version read from " + file).c_str());
        return;
    }
    for (auto _ : state) {
        CVersion v(name);
        benchmark::DoNotOptimize(v.GetVersion());
    }
}

void BM_CVersionTypicalDll(benchmark::State& state) { ReadWithCVersion(state, Fixture("version_1_2_3_4.dll")); }
BENCHMARK(BM_CVersionTypicalDll);

void BM_CVersionTypicalDllPe32(benchmark::State& state) { ReadWithCVersion(state, Fixture("version_1_2_3_4_x86.dll")); }
BENCHMARK(BM_CVersionTypicalDllPe32);

void BM_CVersionOwnSharedObject(benchmark::State& state) {
    char path[4096];
    DWORD n = GetModuleFileNameA(GetModuleHandleA("NavoTools.dll"), path, sizeof path);
    ReadWithCVersion(state, std::string(path, n));
}
BENCHMARK(BM_CVersionOwnSharedObject);

// The platform calls and one text query, without CVersion around them.
void BM_PlatformCallsWithText(benchmark::State& state) {
    const std::string file = Fixture("version_1_2_3_4.dll");
    std::vector<BYTE> block;
    for (auto _ : state) {
        DWORD size = GetFileVersionInfoSizeA(file.c_str(), nullptr);
        block.resize(size);
        GetFileVersionInfoA(file.c_str(), 0, size, block.data());
        LPVOID value = nullptr;
        UINT length = 0;
        VerQueryValueA(block.data(), "\\StringFileInfo\\040904b0\\FileVersion", &value, &length);
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK(BM_PlatformCallsWithText);

}  // namespace
