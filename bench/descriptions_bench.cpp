// The HTTP status and WinInet error descriptions: one lookup and one string load each.
#include <benchmark/benchmark.h>

#include "NavoTools.h"

namespace {

void BM_HttpStatusDescription(benchmark::State& state) {
    const LONG code = LONG(state.range(0));
    for (auto _ : state) {
        CString text = GetHttpStatusCodeDescription(code);
        benchmark::DoNotOptimize(text.GetString());
    }
}
BENCHMARK(BM_HttpStatusDescription)->Arg(404)->Arg(503)->Arg(600);

void BM_WinInetDescription(benchmark::State& state) {
    const DWORD code = DWORD(state.range(0));
    for (auto _ : state) {
        CString text = GetWinInetErrorDescription(code);
        benchmark::DoNotOptimize(text.GetString());
    }
}
BENCHMARK(BM_WinInetDescription)->Arg(12002)->Arg(12156)->Arg(12100);

void BM_WinInetDescriptionBuffer(benchmark::State& state) {
    char buffer[200];
    for (auto _ : state) {
        int copied = GetWinInetErrorDescriptionVB(12156, buffer, sizeof buffer);
        benchmark::DoNotOptimize(copied);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_WinInetDescriptionBuffer);

}  // namespace
