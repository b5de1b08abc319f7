// CStringArray and CUIntArray at the edge of their size type (a size that INT_PTR cannot
// hold is out of memory, and the array is left as it was), values that are elements of
// the array being grown, and giving back unused capacity.
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

TEST(ArrayAliasing, AnElementOfTheArrayIsCopiedBeforeTheArrayGrows) {
    // Growing moves the elements: a reference into the old storage must not be read after.
    CStringArray a;
    a.SetSize(3, 1);  // room for exactly three: the next growth reallocates
    a[0] = "zero";
    a[1] = "one";
    a[2] = "two-with-a-longer-text";
    a.InsertAt(0, a[2], 3);
    ASSERT_EQ(a.GetSize(), 6);
    for (INT_PTR i = 0; i < 3; ++i) EXPECT_EQ(a[i], "two-with-a-longer-text");
    EXPECT_EQ(a[3], "zero");
    EXPECT_EQ(a[5], "two-with-a-longer-text");
    a.SetAtGrow(a.GetSize() + 2, a[3]);
    EXPECT_EQ(a[8], "zero");
    EXPECT_EQ(a[6], "");
    a.SetAtGrow(1, a[4]);  // within the size: a plain assignment
    EXPECT_EQ(a[1], "one");
    a.Add(a[0]);
    EXPECT_EQ(a[9], "two-with-a-longer-text");
}

TEST(ArrayAliasing, InsertingNothingOrANegativeCount) {
    CStringArray s;
    s.Add("a");
    s.InsertAt(0, CString("x"), 0);
    EXPECT_EQ(s.GetSize(), 1);
    EXPECT_THROW(s.InsertAt(0, CString("x"), -1), CInvalidArgException*);
    EXPECT_THROW(s.InsertAt(-1, CString("x"), 1), CInvalidArgException*);
    EXPECT_EQ(s.GetSize(), 1);
    EXPECT_EQ(s[0], "a");
}

template <class Array, class Make>
void FillAndShrink(Array& a, Make make) {
    a.SetSize(0, 64);  // a large growth step leaves spare capacity
    for (int i = 0; i < 5; ++i) a.Add(make(i));
    a.FreeExtra();
    ASSERT_EQ(a.GetSize(), 5);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(a[i], make(i));
    a.Add(make(5));  // grows again from the exact size
    EXPECT_EQ(a[5], make(5));
    EXPECT_EQ(a[0], make(0));
    a.RemoveAll();
    a.FreeExtra();
    EXPECT_EQ(a.GetSize(), 0);
    EXPECT_EQ(a.GetData(), nullptr);
}

TEST(ArrayFreeExtra, KeepsTheElementsAndAllowsGrowth) {
    CUIntArray numbers;
    FillAndShrink(numbers, [](int i) { return UINT(i * 11); });
    CStringArray strings;
    FillAndShrink(strings, [](int i) { return CString('a' + char(i), i + 1); });
    // With spare capacity and no elements, FreeExtra releases the storage.
    CStringArray spare;
    spare.SetSize(0, 16);
    spare.Add("x");
    spare.RemoveAt(0);
    spare.FreeExtra();
    EXPECT_EQ(spare.GetData(), nullptr);
}

}  // namespace
