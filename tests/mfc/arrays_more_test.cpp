// CStringArray and CUIntArray at the edge of their size type: a size that INT_PTR cannot
// hold is out of memory, and the array is left as it was.
#include <gtest/gtest.h>

#include <cstdint>

#include "NavoTools.h"

namespace {

template <class Array, class Value>
void ExpectSizeOverflowRefused(Array& a, Value v) {
    const INT_PTR before = a.GetSize();
    EXPECT_THROW(a.InsertAt(0, v, INTPTR_MAX), CMemoryException*);               // size + count
    EXPECT_THROW(a.InsertAt(before + 5, v, INTPTR_MAX - 2), CMemoryException*);  // index + count
    EXPECT_THROW(a.SetAtGrow(INTPTR_MAX, v), CMemoryException*);                 // index + 1
    EXPECT_EQ(a.GetSize(), before);
}

TEST(ArraySizeOverflow, UIntArrayRefusesSizesBeyondIntPtr) {
    CUIntArray a;
    a.Add(1);
    a.Add(2);
    ExpectSizeOverflowRefused(a, 9u);
    EXPECT_EQ(a[0], 1u);
    EXPECT_EQ(a[1], 2u);
}

TEST(ArraySizeOverflow, StringArrayRefusesSizesBeyondIntPtr) {
    CStringArray a;
    a.Add("one");
    a.Add("two");
    ExpectSizeOverflowRefused(a, CString("x"));
    EXPECT_EQ(a[0], "one");
    EXPECT_EQ(a[1], "two");
}

TEST(ArraySizeOverflow, RemoveAtRefusesACountPastTheEnd) {
    CUIntArray a;
    for (UINT i = 0; i < 4; ++i) a.Add(i);
    EXPECT_THROW(a.RemoveAt(1, INTPTR_MAX), CInvalidArgException*);
    EXPECT_THROW(a.RemoveAt(5, 0), CInvalidArgException*);
    ASSERT_EQ(a.GetSize(), 4);
    a.RemoveAt(4, 0);  // the end itself is a valid place to remove nothing
    EXPECT_EQ(a.GetSize(), 4);
}

}  // namespace
