// CWinRegistry on a warm store: the latency of each operation as the class does it (open,
// one operation, close), alone and while three other processes use the store at once.
//
// Each benchmark reports median_us and p90_us, the median and 90th percentile of the
// single calls, besides Google Benchmark's mean time. The store lives in a temporary
// state directory made for the run (NAVOTOOLS_HOME), never the user's own.
#include <benchmark/benchmark.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "NavoTools.h"

namespace {

struct StateDirectory {
    StateDirectory() {
        char pattern[] = "/tmp/navotools-registry-bench-XXXXXX";
        if (mkdtemp(pattern)) path = pattern;
        setenv("NAVOTOOLS_HOME", path.c_str(), 1);
    }
    ~StateDirectory() {
        if (!path.empty()) {
            std::string command = "rm -rf '" + path + "'";
            if (system(command.c_str()) != 0) {
            }
        }
    }
    std::string path;
};
StateDirectory g_state;

const char kKey[] = "Software\\NavoTools\\Bench";

// Three other processes that write and read their own keys until stopped.
class Neighbours {
public:
    explicit Neighbours(int count) {
        for (int i = 0; i < count; ++i) {
            pid_t pid = fork();
            if (pid == 0) {
                CString path;
                path.Format("Software\\NavoTools\\Neighbour%d", i);
                CWinRegistry reg(HKEY_CURRENT_USER, path);
                unsigned int n = 0;
                for (;;) {
                    reg.SetNumValue("Counter", n++);
                    unsigned int back = 0;
                    reg.GetNumValue("Counter", back);
                    CString text;
                    reg.GetStrValue("Counter", text);
                }
            }
            if (pid > 0) pids_.push_back(pid);
        }
        usleep(100000);  // let them start
    }
    ~Neighbours() {
        for (pid_t pid : pids_) kill(pid, SIGKILL);
        for (pid_t pid : pids_) waitpid(pid, nullptr, 0);
    }
    Neighbours(const Neighbours&) = delete;
    Neighbours& operator=(const Neighbours&) = delete;

private:
    std::vector<pid_t> pids_;
};

// Times each call of op, and reports the median and 90th percentile in microseconds.
template <typename Op>
void Measure(benchmark::State& state, Op op) {
    Neighbours neighbours(state.range(0) > 1 ? int(state.range(0) - 1) : 0);
    std::vector<double> samples;
    samples.reserve(1 << 16);
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        LONG result = op();
        auto end = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(result);
        if (result != ERROR_SUCCESS) {
            state.SkipWithError("the operation failed");
            break;
        }
        if (samples.size() < samples.capacity()) samples.push_back(std::chrono::duration<double, std::micro>(end - start).count());
    }
    if (samples.empty()) return;
    std::sort(samples.begin(), samples.end());
    state.counters["median_us"] = samples[samples.size() / 2];
    state.counters["p90_us"] = samples[samples.size() * 9 / 10];
}

CWinRegistry Prepared() {
    CWinRegistry reg(HKEY_CURRENT_USER, kKey);
    reg.SetNumValue("Number", 42);
    reg.SetStrValue("Text", "some text of a typical length", REG_SZ);
    return reg;
}

void BM_TestOpenKey(benchmark::State& state) {
    CWinRegistry reg = Prepared();
    Measure(state, [&] { return reg.TestOpenKey(); });
}

void BM_GetNumValue(benchmark::State& state) {
    CWinRegistry reg = Prepared();
    unsigned int n = 0;
    Measure(state, [&] { return reg.GetNumValue("Number", n); });
}

void BM_GetStrValue(benchmark::State& state) {
    CWinRegistry reg = Prepared();
    CString text;
    Measure(state, [&] { return reg.GetStrValue("Text", text); });
}

void BM_GetSubKeyCount(benchmark::State& state) {
    CWinRegistry reg(HKEY_CURRENT_USER, "Software\\NavoTools");
    Prepared();
    DWORD count = 0;
    Measure(state, [&] { return reg.GetSubKeyCount(count); });
}

void BM_GetSubKeyName(benchmark::State& state) {
    CWinRegistry reg(HKEY_CURRENT_USER, "Software\\NavoTools");
    Prepared();
    CString name;
    Measure(state, [&] { return reg.GetSubKeyName(0, name); });
}

void BM_SetNumValue(benchmark::State& state) {
    CWinRegistry reg = Prepared();
    unsigned int n = 0;
    Measure(state, [&] { return reg.SetNumValue("Number", n++); });
}

void BM_SetStrValue(benchmark::State& state) {
    CWinRegistry reg = Prepared();
    Measure(state, [&] { return reg.SetStrValue("Text", "some text of a typical length", REG_SZ); });
}

void BM_DeleteValue(benchmark::State& state) {
    CWinRegistry reg = Prepared();
    // Each deletion needs a value to delete: set one, untimed, before each timed call.
    Neighbours neighbours(state.range(0) > 1 ? int(state.range(0) - 1) : 0);
    std::vector<double> samples;
    for (auto _ : state) {
        state.PauseTiming();
        reg.SetNumValue("Doomed", 1);
        state.ResumeTiming();
        auto start = std::chrono::steady_clock::now();
        LONG result = reg.DeleteValue("Doomed");
        auto end = std::chrono::steady_clock::now();
        if (result != ERROR_SUCCESS) {
            state.SkipWithError("the operation failed");
            break;
        }
        if (samples.size() < 65536) samples.push_back(std::chrono::duration<double, std::micro>(end - start).count());
    }
    if (samples.empty()) return;
    std::sort(samples.begin(), samples.end());
    state.counters["median_us"] = samples[samples.size() / 2];
    state.counters["p90_us"] = samples[samples.size() * 9 / 10];
}

void BM_DeleteKey(benchmark::State& state) {
    Neighbours neighbours(state.range(0) > 1 ? int(state.range(0) - 1) : 0);
    CWinRegistry reg(HKEY_CURRENT_USER, "Software\\NavoTools\\Doomed");
    std::vector<double> samples;
    for (auto _ : state) {
        state.PauseTiming();
        reg.SetNumValue("Value", 1);
        state.ResumeTiming();
        auto start = std::chrono::steady_clock::now();
        LONG result = reg.DeleteKey();
        auto end = std::chrono::steady_clock::now();
        if (result != ERROR_SUCCESS) {
            state.SkipWithError("the operation failed");
            break;
        }
        if (samples.size() < 65536) samples.push_back(std::chrono::duration<double, std::micro>(end - start).count());
    }
    if (samples.empty()) return;
    std::sort(samples.begin(), samples.end());
    state.counters["median_us"] = samples[samples.size() / 2];
    state.counters["p90_us"] = samples[samples.size() * 9 / 10];
}

// A key holding `count` values and `count` sub-keys, made once for each count.
CString EnumerationKey(int count) {
    CString path;
    path.Format("Software\\NavoTools\\Enumerate%d", count);
    CWinRegistry reg(HKEY_CURRENT_USER, path);
    DWORD have = 0;
    if (reg.GetSubKeyCount(have) == ERROR_SUCCESS && have == DWORD(count)) return path;
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr)) return path;
    for (int i = 0; i < count; ++i) {
        char name[32];
        snprintf(name, sizeof name, "entry%05d", i);
        RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&i), 4);
        HKEY child;
        if (RegCreateKeyExA(key, name, 0, nullptr, 0, KEY_READ, nullptr, &child, nullptr) == ERROR_SUCCESS)
            RegCloseKey(child);
    }
    RegCloseKey(key);
    return path;
}

// Times each whole enumeration, and reports its median and 90th percentile in milliseconds.
template <typename Walk>
void MeasureEnumeration(benchmark::State& state, Walk walk) {
    const int count = int(state.range(0));
    const CString path = EnumerationKey(count);
    std::vector<double> samples;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        int seen = walk(path);
        auto end = std::chrono::steady_clock::now();
        if (seen != count) {
            state.SkipWithError("the enumeration did not see every entry");
            break;
        }
        samples.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    if (samples.empty()) return;
    std::sort(samples.begin(), samples.end());
    state.counters["median_ms"] = samples[samples.size() / 2];
    state.counters["p90_ms"] = samples[samples.size() * 9 / 10];
}

// Every value with its data, through one handle, as `navotools reg query` does.
void BM_EnumerateValues(benchmark::State& state) {
    MeasureEnumeration(state, [](const CString& path) {
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key)) return -1;
        int seen = 0;
        for (DWORD i = 0;; ++i) {
            char name[64];
            BYTE data[64];
            DWORD nameLength = sizeof name, dataLength = sizeof data, type = 0;
            if (RegEnumValueA(key, i, name, &nameLength, nullptr, &type, data, &dataLength) != ERROR_SUCCESS) break;
            ++seen;
        }
        RegCloseKey(key);
        return seen;
    });
}

// Every sub-key name through one handle.
void BM_EnumerateSubKeys(benchmark::State& state) {
    MeasureEnumeration(state, [](const CString& path) {
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key)) return -1;
        int seen = 0;
        for (DWORD i = 0;; ++i) {
            char name[64];
            DWORD length = sizeof name;
            if (RegEnumKeyExA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            ++seen;
        }
        RegCloseKey(key);
        return seen;
    });
}

// Every sub-key name through CWinRegistry, which opens and closes the key for each.
void BM_EnumerateSubKeysByName(benchmark::State& state) {
    MeasureEnumeration(state, [](const CString& path) {
        CWinRegistry reg(HKEY_CURRENT_USER, path);
        int seen = 0;
        CString name;
        while (reg.GetSubKeyName(seen, name) == ERROR_SUCCESS) ++seen;
        return seen;
    });
}

// Argument: the number of values and of sub-keys.
BENCHMARK(BM_EnumerateValues)->Arg(1000)->Arg(2000)->Arg(4000)->Arg(8000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EnumerateSubKeys)->Arg(1000)->Arg(2000)->Arg(4000)->Arg(8000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EnumerateSubKeysByName)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// Argument: the number of processes using the store (this one included).
BENCHMARK(BM_TestOpenKey)->Arg(1)->Arg(4)->ArgName("processes");
BENCHMARK(BM_GetNumValue)->Arg(1)->Arg(4)->ArgName("processes");
BENCHMARK(BM_GetStrValue)->Arg(1)->Arg(4)->ArgName("processes");
BENCHMARK(BM_GetSubKeyCount)->Arg(1)->Arg(4)->ArgName("processes");
BENCHMARK(BM_GetSubKeyName)->Arg(1)->Arg(4)->ArgName("processes");
BENCHMARK(BM_SetNumValue)->Arg(1)->Arg(4)->ArgName("processes");
BENCHMARK(BM_SetStrValue)->Arg(1)->Arg(4)->ArgName("processes");
BENCHMARK(BM_DeleteValue)->Arg(1)->Arg(4)->ArgName("processes");
BENCHMARK(BM_DeleteKey)->Arg(1)->Arg(4)->ArgName("processes");

}  // namespace
