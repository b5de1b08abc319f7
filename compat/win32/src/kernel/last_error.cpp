// The calling thread's last-error value, the ANSI string helpers and the local heap.

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// Each thread has its own value, as on the platform; a new thread starts at 0.
thread_local DWORD t_lastError = 0;

// A local block carries its requested size in front of the caller's bytes so that
// LocalSize can answer. The header keeps the caller's pointer aligned like malloc's.
struct alignas(std::max_align_t) LocalHeader {
    SIZE_T bytes;
};

// Flags the platform accepts for LocalAlloc; anything else is refused.
constexpr UINT kLocalAllocFlags = 0x0F72;  // MOVEABLE, NOCOMPACT, NODISCARD, ZEROINIT, MODIFY, DISCARDABLE

LocalHeader* HeaderOf(HLOCAL mem) {
    return reinterpret_cast<LocalHeader*>(static_cast<unsigned char*>(mem) - sizeof(LocalHeader));
}

}  // namespace

extern "C" {

DWORD WINAPI GetLastError() { return t_lastError; }

void WINAPI SetLastError(DWORD errorCode) { t_lastError = errorCode; }

LPSTR WINAPI lstrcpynA(LPSTR dest, LPCSTR src, int count) {
    // The platform catches the fault of a null pointer and returns null; here the
    // pointers are checked instead, and nothing is written.
    if (!dest || !src) return nullptr;
    // Like the platform, a negative count copies nothing but still stores the terminator.
    LPSTR d = dest;
    while (count > 1 && *src) {
        *d++ = *src++;
        --count;
    }
    if (count != 0) *d = '\0';
    return dest;
}

int WINAPI lstrlenA(LPCSTR s) {
    if (!s) return 0;
    return static_cast<int>(std::strlen(s));
}

HLOCAL WINAPI LocalAlloc(UINT flags, SIZE_T bytes) {
    if (flags & ~kLocalAllocFlags) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (bytes > SIZE_MAX - sizeof(LocalHeader)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    void* raw = (flags & LMEM_ZEROINIT) ? std::calloc(1, sizeof(LocalHeader) + bytes)
                                        : std::malloc(sizeof(LocalHeader) + bytes);
    if (!raw) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    auto* header = new (raw) LocalHeader{bytes};
    return reinterpret_cast<unsigned char*>(header) + sizeof(LocalHeader);
}

HLOCAL WINAPI LocalFree(HLOCAL mem) {
    if (!mem) return nullptr;
    LocalHeader* header = HeaderOf(mem);
    header->~LocalHeader();
    std::free(header);
    return nullptr;
}

SIZE_T WINAPI LocalSize(HLOCAL mem) {
    if (!mem) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return HeaderOf(mem)->bytes;
}

}  // extern "C"
