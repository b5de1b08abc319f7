// dlopen of libNavoTools.so next to dlopen of libsqlite3.so.0, in the same run. A load
// costs what it costs only in a fresh process, so each sample is one run of the probe
// program navotools_dlopen_probe (a C++ program: the C++ run-time is loaded already, as
// in any application of the library), which times its one dlopen with the monotonic
// clock. The two libraries alternate, and which goes first alternates too.
//
// Counters: navotools_us and sqlite3_us, the medians of the samples; ratio, the first
// over the second. The benchmark's own time is libNavoTools' load.
//
// NAVOTOOLS_LOAD_BENCH_LIBRARY names another build of the library to load instead of this
// one (to compare two builds in the same way).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The load time in nanoseconds, or -1 when the probe failed.
double Sample(const std::string& library) {
    std::string command = "'" NAVOTOOLS_BENCH_PROBE "' '" + library + "'";
    FILE* probe = popen(command.c_str(), "r");
    if (!probe) return -1;
    long long nanoseconds = -1;
    if (fscanf(probe, "%lld", &nanoseconds) != 1) nanoseconds = -1;
    return pclose(probe) == 0 ? double(nanoseconds) : -1;
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::string Library() {
    const char* other = getenv("NAVOTOOLS_LOAD_BENCH_LIBRARY");
    return other && *other ? other : NAVOTOOLS_BENCH_LIBRARY;
}

void BM_DlopenFreshProcess(benchmark::State& state) {
    const std::string library = Library();
    std::vector<double> ours, sqlite;
    bool oursFirst = true;
    for (auto _ : state) {
        double a, b;
        if (oursFirst) {
            a = Sample(library);
            b = Sample("libsqlite3.so.0");
        } else {
            b = Sample("libsqlite3.so.0");
            a = Sample(library);
        }
        oursFirst = !oursFirst;
        if (a < 0 || b < 0) {
            state.SkipWithError("the probe could not load a library");
            break;
        }
        ours.push_back(a);
        sqlite.push_back(b);
        state.SetIterationTime(a / 1e9);
    }
    double medianOurs = Median(ours), medianSqlite = Median(sqlite);
    state.counters["navotools_us"] = medianOurs / 1e3;
    state.counters["sqlite3_us"] = medianSqlite / 1e3;
    state.counters["ratio"] = medianSqlite > 0 ? medianOurs / medianSqlite : 0;
}
BENCHMARK(BM_DlopenFreshProcess)->Iterations(21)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
