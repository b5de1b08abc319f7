// CString lengths near the largest one: sums that would pass it raise CMemoryException
// before anything is added or allocated, and growth stops at it.
//
// The long strings are made with GetBufferSetLength and never written, so they take
// address space, not memory. 64-bit Linux only: a 32-bit process has no room for them,
// and the platform's heap commits what it reserves.
#include <gtest/gtest.h>

#include <climits>

#include "NavoTools.h"

#if !defined(_WIN32) && defined(__LP64__)

namespace {

constexpr int kHuge = 1100000000;  // two of them pass INT_MAX

TEST(CStringLimits, SumsPastTheLargestLengthRaiseMemoryException) {
    CString a;
    a.GetBufferSetLength(kHuge);
    struct Case {
        const char* what;
        void (*run)(CString& a);
    };
    const Case cases[] = {
        {"a + a", [](CString& x) { (void)(x + x); }},
        {"a += a", [](CString& x) { x += x; }},
        {"Append", [](CString& x) { x.Append(x.GetString(), x.GetLength()); }},
    };
    for (const Case& c : cases) {
        EXPECT_THROW(c.run(a), CMemoryException*) << c.what;
        EXPECT_EQ(a.GetLength(), kHuge) << c.what << " left the string as it was";
    }
    // A sum that fits still works.
    CString small("x");
    EXPECT_EQ(small + small, "xx");
}

#if defined(__SANITIZE_ADDRESS__)
#define NAVO_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define NAVO_ASAN 1
#endif
#endif

TEST(CStringLimits, GrowthStopsAtTheLargestLength) {
#ifdef NAVO_ASAN
    GTEST_SKIP() << "the sanitizer's realloc copies the 1.5 GB buffer instead of remapping it";
#endif
    // Geometric growth of a 1.5e9-byte buffer would pass INT_MAX: it stops below it.
    CString s;
    s.GetBufferSetLength(1500000000);
    s.AppendChar('x');
    EXPECT_EQ(s.GetLength(), 1500000001);
    EXPECT_EQ(s.GetAllocLength(), INT_MAX - 1);
    EXPECT_EQ(s.GetString()[1500000000], 'x');
}

}  // namespace

#endif
