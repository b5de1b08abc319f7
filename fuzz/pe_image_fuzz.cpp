// Feeds arbitrary bytes to the PE reader, the resource index and a lookup, and touches
// every byte of every resource the index reports, so that a range check that lets an
// entry leave the input is caught by the address sanitizer.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "formats/pe_image.h"

namespace {

using navo::win32::LanguageFallback;
using navo::win32::ResourceKey;

void Touch(const navo::win32::ResourceEntry& e, const uint8_t* data, size_t size, unsigned& sum) {
    if (e.data < data || e.size > size || size_t(e.data - data) > size - e.size) __builtin_trap();
    for (DWORD i = 0; i < e.size; ++i) sum += e.data[i];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A copy of exactly the input's length: no slack after it for a read to hide in.
    std::vector<uint8_t> bytes(data, data + size);
    auto index = navo::win32::ReadPeResources(bytes.data(), bytes.size());
    if (!index) {
        if (index.error().what.empty()) __builtin_trap();
        return 0;
    }
    unsigned sum = 0;
    for (const auto& e : index->entries()) Touch(e, bytes.data(), bytes.size(), sum);
    // Look up what the input names: the first entry's type and name under a neutral and a
    // specific language, and a string block, as LoadString does.
    const LANGID neutral[] = {0, 1033};
    const LANGID korean[] = {1042, 0x12, 0};
    if (!index->entries().empty()) {
        const auto& first = index->entries()[0];
        auto found = index->Find(first.type, first.name, neutral, LanguageFallback::FirstLanguage);
        if (!found.entry || !index->Owns(found.entry)) __builtin_trap();
        Touch(*found.entry, bytes.data(), bytes.size(), sum);
        found = index->Find(first.type, first.name, korean, LanguageFallback::None);
        if (found.entry) Touch(*found.entry, bytes.data(), bytes.size(), sum);
    }
    auto strings = index->Find(ResourceKey::Id(6), ResourceKey::Id(1), neutral, LanguageFallback::FirstLanguage);
    if (strings.entry) Touch(*strings.entry, bytes.data(), bytes.size(), sum);
    else if (strings.error == 0) __builtin_trap();
    auto named =
        index->Find(ResourceKey::Id(10), ResourceKey::Name(u"Greeting"), neutral, LanguageFallback::FirstLanguage);
    if (named.entry) Touch(*named.entry, bytes.data(), bytes.size(), sum);
    return int(sum & 0);
}
