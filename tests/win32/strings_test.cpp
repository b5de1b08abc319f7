// Conformance tests: the thread's last error, lstrcpynA/lstrlenA and the local heap.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "test_constants.h"

namespace {

struct GuardedBuffer {
    char bytes[16];
    GuardedBuffer() { std::memset(bytes, kSentinel, sizeof bytes); }
    // True when every byte from `from` on still holds the sentinel.
    bool UntouchedFrom(std::size_t from) const {
        for (std::size_t i = from; i < sizeof bytes; ++i) {
            if (bytes[i] != kSentinel) return false;
        }
        return true;
    }
};

TEST(LastError, KeepsTheValueSet) {
    SetLastError(kUntouched);
    EXPECT_EQ(kUntouched, GetLastError());
    SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
}

TEST(LastError, IsSeparatePerThread) {
    SetLastError(kUntouched);
    DWORD seenInThread = 1;
    std::thread worker([&] {
        seenInThread = GetLastError();
        SetLastError(ERROR_INVALID_HANDLE);
    });
    worker.join();
    EXPECT_EQ(0u, seenInThread) << "a new thread starts with no error";
    // The thread library's own calls during the join may change this thread's error (as
    // mingw-w64's do), so the check is that the other thread's did not arrive here.
    EXPECT_NE(DWORD(ERROR_INVALID_HANDLE), GetLastError()) << "another thread's error leaked into this one";
}

TEST(CopyStringBounded, CopiesAtMostCountMinusOneAndTerminates) {
    GuardedBuffer out;
    LPSTR r = lstrcpynA(out.bytes, "abcdef", 4);
    EXPECT_EQ(out.bytes, r);
    EXPECT_STREQ("abc", out.bytes);
    EXPECT_TRUE(out.UntouchedFrom(4)) << "wrote past count bytes";
}

TEST(CopyStringBounded, ShortSourceCopiedWholeWithTerminatorOnly) {
    GuardedBuffer out;
    lstrcpynA(out.bytes, "ab", 8);
    EXPECT_STREQ("ab", out.bytes);
    EXPECT_TRUE(out.UntouchedFrom(3)) << "bytes after the terminator were written";
}

TEST(CopyStringBounded, ExactLengthPlusOneCopiesWhole) {
    GuardedBuffer out;
    lstrcpynA(out.bytes, "abc", 4);
    EXPECT_STREQ("abc", out.bytes);
    EXPECT_TRUE(out.UntouchedFrom(4));
}

TEST(CopyStringBounded, CountOneStoresOnlyTheTerminator) {
    GuardedBuffer out;
    LPSTR r = lstrcpynA(out.bytes, "abc", 1);
    EXPECT_EQ(out.bytes, r);
    EXPECT_EQ('\0', out.bytes[0]);
    EXPECT_TRUE(out.UntouchedFrom(1));
}

TEST(CopyStringBounded, CountZeroWritesNothing) {
    GuardedBuffer out;
    LPSTR r = lstrcpynA(out.bytes, "abc", 0);
    EXPECT_EQ(out.bytes, r);
    EXPECT_TRUE(out.UntouchedFrom(0));
}

TEST(CopyStringBounded, NullPointersGiveNullWithoutWriting) {
    GuardedBuffer out;
    EXPECT_EQ(nullptr, lstrcpynA(out.bytes, nullptr, 8));
    EXPECT_TRUE(out.UntouchedFrom(0));
    EXPECT_EQ(nullptr, lstrcpynA(nullptr, "abc", 8));
}

TEST(StringLength, CountsBytesAndNullIsZero) {
    EXPECT_EQ(0, lstrlenA(nullptr));
    EXPECT_EQ(0, lstrlenA(""));
    EXPECT_EQ(5, lstrlenA("hello"));
    EXPECT_EQ(2, lstrlenA("\xc3\xa9")) << "a UTF-8 character counts as its bytes";
}

TEST(LocalHeap, ZeroInitClearsTheBlock) {
    auto* p = static_cast<unsigned char*>(LocalAlloc(LPTR, 64));
    ASSERT_NE(nullptr, p);
    for (int i = 0; i < 64; ++i) ASSERT_EQ(0, p[i]) << "byte " << i;
    EXPECT_EQ(nullptr, LocalFree(p));
}

TEST(LocalHeap, SizeReportsAtLeastTheRequestAndBlockIsWritable) {
    auto* p = static_cast<char*>(LocalAlloc(LMEM_FIXED, 37));
    ASSERT_NE(nullptr, p);
    EXPECT_GE(LocalSize(p), 37u);
    std::memset(p, 'a', 37);
    EXPECT_EQ(nullptr, LocalFree(p)) << "LocalFree returns null on success";
}

TEST(LocalHeap, ZeroByteRequestStillGivesABlock) {
    HLOCAL p = LocalAlloc(LMEM_FIXED, 0);
    EXPECT_NE(nullptr, p);
    EXPECT_EQ(nullptr, LocalFree(p));
}

TEST(LocalHeap, FreeingNullIsHarmless) {
    EXPECT_EQ(nullptr, LocalFree(nullptr));
}

}  // namespace
