// ConvertForWeb on typical mixed text from 1 KiB to 64 MiB: the cost per byte should stay
// flat across sizes.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <string>

#include "NavoTools.h"

namespace {

// Prose with blanks, plus signs, line breaks, tabs, URL punctuation and UTF-8 letters, as
// form fields and query texts carry them: roughly one byte in seven needs an escape.
std::string MixedText(size_t bytes) {
    static const char kSample[] =
        "Dear customer, your order #4711 (2 x \"Caf\xC3\xA9 cr\xC3\xA8me\" + 1 x tea) ships on 2024-05-17.\r\n"
        "Track it at https://example.com/track?id=4711&lang=en or call +44 20 7946 0958.\r\n"
        "\tTotal: 23.50 EUR, 50% off the second item; VAT incl. \xE2\x82\xAC 3.76.\n"
        "Grammatik: \xC3\xA4\xC3\xB6\xC3\xBC \xC3\x9F, na\xC3\xAFve r\xC3\xA9sum\xC3\xA9, \xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.\n";
    std::string text;
    text.reserve(bytes);
    while (text.size() < bytes) text.append(kSample, std::min(sizeof kSample - 1, bytes - text.size()));
    return text;
}

void BM_ConvertForWeb(benchmark::State& state) {
    const size_t bytes = size_t(state.range(0));
    const CString text(MixedText(bytes).c_str(), int(bytes));
    for (auto _ : state) {
        CString escaped = ConvertForWeb(text);
        benchmark::DoNotOptimize(escaped.GetString());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}
BENCHMARK(BM_ConvertForWeb)->RangeMultiplier(8)->Range(1 << 10, 64 << 20)->Arg(1 << 20);

// Text with nothing to escape: the result is the argument itself.
void BM_ConvertForWebNothingToEscape(benchmark::State& state) {
    const size_t bytes = size_t(state.range(0));
    const CString text(std::string(bytes, 'x').c_str(), int(bytes));
    for (auto _ : state) {
        CString escaped = ConvertForWeb(text);
        benchmark::DoNotOptimize(escaped.GetString());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}
BENCHMARK(BM_ConvertForWebNothingToEscape)->Arg(1 << 20);

// As BM_ConvertForWeb, with the allocator told to keep large blocks in its heap. By
// default glibc maps every block above 32 MiB afresh and unmaps it when freed, so each
// call at 64 MiB pays the kernel for zeroing and faulting in the parameter's copy and the
// result (about 140 MiB); this variant shows the escape's own cost per byte at every size.
// It runs last because the setting holds for the rest of the process.
void BM_ConvertForWebReusedMemory(benchmark::State& state) {
    mallopt(M_MMAP_THRESHOLD, 1 << 30);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    BM_ConvertForWeb(state);
}
BENCHMARK(BM_ConvertForWebReusedMemory)->Arg(1 << 10)->Arg(1 << 20)->Arg(64 << 20);

}  // namespace
