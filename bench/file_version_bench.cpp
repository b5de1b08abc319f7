// Reading a file's version, per file: CVersion over a typical DLL (a PE file with a string
// table and a version block of two languages), PE32+ and PE32, over the library's own
// shared object, and the three platform calls alone. Run from the build folder, or with
// NAVOTOOLS_BENCH_FIXTURES naming the folder that holds the test fixtures.
//
// The Wine corpus: the first 400 DLLs (sorted by name) of Wine's x86_64 PE folder, or of
// the folder NAVOTOOLS_BENCH_WINE_DLLS names; each iteration reads every one of them that
// has a version, so the time per item is the time per file. GetFileVersionInfoSizeA alone,
// GetFileVersionInfoA alone, and the two in a row as every caller makes them.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
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

// --- The Wine corpus -----------------------------------------------------------------------

// The corpus files that have a version, with the size GetFileVersionInfoSizeA gives each.
struct WineFile {
    std::string path;
    DWORD size;
};

const std::vector<WineFile>& WineCorpus() {
    static const std::vector<WineFile> corpus = [] {
        const char* folder = getenv("NAVOTOOLS_BENCH_WINE_DLLS");
        std::filesystem::path dir = folder ? folder : "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows";
        std::vector<std::string> names;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(dir, error))
            if (entry.path().extension() == ".dll" && entry.is_regular_file()) names.push_back(entry.path().string());
        std::sort(names.begin(), names.end());
        if (names.size() > 400) names.resize(400);
        std::vector<WineFile> files;
        for (const std::string& name : names)
            if (DWORD size = GetFileVersionInfoSizeA(name.c_str(), nullptr)) files.push_back({name, size});
        return files;
    }();
    return corpus;
}

template <typename Read>
void OverWineCorpus(benchmark::State& state, Read read) {
    const std::vector<WineFile>& files = WineCorpus();
    if (files.empty()) {
        state.SkipWithError("no Wine DLL with a version (set NAVOTOOLS_BENCH_WINE_DLLS)");
        return;
    }
    std::vector<BYTE> block;
    for (auto _ : state)
        for (const WineFile& file : files) read(file, block);
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(files.size()));
    state.counters["files"] = double(files.size());
}

void BM_WineSizeOnly(benchmark::State& state) {
    OverWineCorpus(state, [](const WineFile& file, std::vector<BYTE>&) {
        benchmark::DoNotOptimize(GetFileVersionInfoSizeA(file.path.c_str(), nullptr));
    });
}
BENCHMARK(BM_WineSizeOnly)->Unit(benchmark::kMicrosecond);

void BM_WineInfoOnly(benchmark::State& state) {
    OverWineCorpus(state, [](const WineFile& file, std::vector<BYTE>& block) {
        block.resize(file.size);
        benchmark::DoNotOptimize(GetFileVersionInfoA(file.path.c_str(), 0, file.size, block.data()));
    });
}
BENCHMARK(BM_WineInfoOnly)->Unit(benchmark::kMicrosecond);

// What CVersion and `navotools fileversion` do per file: the size, the block, the root.
void BM_WineSizeThenInfo(benchmark::State& state) {
    OverWineCorpus(state, [](const WineFile& file, std::vector<BYTE>& block) {
        DWORD size = GetFileVersionInfoSizeA(file.path.c_str(), nullptr);
        block.resize(size);
        GetFileVersionInfoA(file.path.c_str(), 0, size, block.data());
        LPVOID fixed = nullptr;
        UINT length = 0;
        VerQueryValueA(block.data(), "\\", &fixed, &length);
        benchmark::DoNotOptimize(fixed);
    });
}
BENCHMARK(BM_WineSizeThenInfo)->Unit(benchmark::kMicrosecond);

void BM_WineCVersion(benchmark::State& state) {
    OverWineCorpus(state, [](const WineFile& file, std::vector<BYTE>&) {
        CVersion v{CString(file.path.c_str())};
        benchmark::DoNotOptimize(v.GetVersion());
    });
}
BENCHMARK(BM_WineCVersion)->Unit(benchmark::kMicrosecond);

}  // namespace
