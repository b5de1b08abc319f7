// Fuzzes the FormatMessage insert language: the input is a FROM_STRING format, expanded
// through NavoFormatMessageArrayA with a fixed argument array, into a small buffer, a
// large buffer and an allocated one.
//
// Every argument must be safe for every conversion, since the format decides how each
// is read. So each one is the address of text that ends in zero bytes (narrow and
// UTF-16), and the small integers wanted for widths, precisions and %d come from
// addresses inside two zeroed pages mapped so that their low 32 bits are small numbers
// (-4, 2, 8): read as an int they are those numbers, read as a string they are empty.

#include <windows.h>

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

alignas(8) const char kNarrow[] = "insert %1 %% text\0\0\0";
alignas(8) const WCHAR kWide[] = {'w', 0xE9, 0xD800, 'x', '%', '1', 0, 0};

// Two zeroed pages around an address whose low 32 bits are 0, or null if the mapping
// is refused (then the integer arguments are left out).
const unsigned char* SmallNumberBase() {
    static const unsigned char* base = [] {
        // High in the address space, clear of the sanitizers' shadow memory.
        const uintptr_t want = uintptr_t(0x6000) << 32;
        void* p = mmap(reinterpret_cast<void*>(want - 4096), 8192, PROT_READ,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
        if (p == MAP_FAILED) return static_cast<const unsigned char*>(nullptr);
        if (reinterpret_cast<uintptr_t>(p) != want - 4096) {
            munmap(p, 8192);
            return static_cast<const unsigned char*>(nullptr);
        }
        return static_cast<const unsigned char*>(p) + 4096;
    }();
    return base;
}

std::vector<DWORD_PTR> Arguments() {
    std::vector<DWORD_PTR> args = {reinterpret_cast<DWORD_PTR>(kNarrow), reinterpret_cast<DWORD_PTR>(kWide)};
    if (const unsigned char* base = SmallNumberBase()) {
        args.push_back(reinterpret_cast<DWORD_PTR>(base + 8));
        args.push_back(reinterpret_cast<DWORD_PTR>(base - 4));
        args.push_back(reinterpret_cast<DWORD_PTR>(base + 2));
    }
    args.push_back(0);  // a null string prints "(null)"
    args.push_back(reinterpret_cast<DWORD_PTR>(kNarrow + 8));  // even: also valid UTF-16
    return args;
}

void Run(const char* format, const std::vector<DWORD_PTR>& args, DWORD flags) {
    const DWORD count = static_cast<DWORD>(args.size());
    char small[8];
    char large[2048];
    DWORD r = NavoFormatMessageArrayA(flags, format, 0, 0, small, sizeof small, args.data(), count);
    if (r != 0 && r >= sizeof small) __builtin_trap();
    r = NavoFormatMessageArrayA(flags, format, 0, 0, large, sizeof large, args.data(), count);
    if (r != 0 && r >= sizeof large) __builtin_trap();

    char* allocated = nullptr;
    r = NavoFormatMessageArrayA(flags | FORMAT_MESSAGE_ALLOCATE_BUFFER, format, 0, 0,
                                reinterpret_cast<LPSTR>(&allocated), 16, args.data(), count);
    if (r != 0) {
        if (!allocated || LocalSize(allocated) < SIZE_T(r) + 1 || allocated[r] != '\0') __builtin_trap();
        LocalFree(allocated);
    } else if (allocated) {
        __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first byte picks the line width (low 7 bits; 0x7F: MAX_WIDTH_MASK) and
    // IGNORE_INSERTS (high bit); the rest, with a NUL added, is the format.
    if (size == 0) return 0;
    static const std::vector<DWORD_PTR> args = Arguments();
    const DWORD low = data[0] & 0x7F;
    DWORD flags = FORMAT_MESSAGE_FROM_STRING | (low == 0x7F ? FORMAT_MESSAGE_MAX_WIDTH_MASK : low);
    if (data[0] & 0x80) flags |= FORMAT_MESSAGE_IGNORE_INSERTS;
    std::vector<char> format(data + 1, data + size);
    format.push_back('\0');
    Run(format.data(), args, flags);
    return 0;
}
