// CStringArray and CUIntArray: growth, growth step and element storage.
#include <gtest/gtest.h>

#include "NavoTools.h"

namespace {

TEST(UIntArray, SetAtGrowAppendsAndZeroFillsGaps) {
    CUIntArray a;
    a.SetAtGrow(0, 7);
    a.SetAtGrow(3, 9);
    ASSERT_EQ(a.GetSize(), 4);
    EXPECT_EQ(a[0], 7u);
    EXPECT_EQ(a[1], 0u);
    EXPECT_EQ(a[2], 0u);
    EXPECT_EQ(a[3], 9u);
    a.SetAtGrow(1, 5);
    EXPECT_EQ(a.GetSize(), 4);
    EXPECT_EQ(a[1], 5u);
}

TEST(UIntArray, SetSizeZeroReleasesStorageAndMinusOneKeepsTheStep) {
    CUIntArray a;
    a.SetSize(0, 10);
    for (UINT i = 0; i < 25; ++i) a.SetAtGrow(INT_PTR(i), i);
    EXPECT_EQ(a.GetAllocSize() % 10, 1);  // 1 element first, then steps of 10
    a.SetSize(0, -1);
    EXPECT_EQ(a.GetSize(), 0);
    EXPECT_EQ(a.GetAllocSize(), 0);
    EXPECT_EQ(a.GetData(), nullptr);
    EXPECT_EQ(a.GetGrowBy(), 10);
}

TEST(UIntArray, DefaultGrowthIsGeometricEnough) {
    CUIntArray a;
    for (UINT i = 0; i < 100000; ++i) a.Add(i);
    EXPECT_EQ(a.GetSize(), 100000);
    EXPECT_EQ(a[99999], 99999u);
    EXPECT_LT(a.GetAllocSize(), 100000 + 1025);
}

TEST(UIntArray, InsertAndRemoveKeepOrder) {
    CUIntArray a;
    for (UINT i = 0; i < 5; ++i) a.Add(i);
    a.InsertAt(2, 42, 2);
    a.RemoveAt(0);
    UINT expected[] = {1, 42, 42, 2, 3, 4};
    ASSERT_EQ(a.GetSize(), 6);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(a[i], expected[i]);
}

TEST(UIntArray, OutOfRangeAccessRaisesInsteadOfCorrupting) {
    CUIntArray a;
    a.Add(1);
    EXPECT_THROW(a.GetAt(1), CInvalidArgException*);
    EXPECT_THROW(a.SetAtGrow(-1, 1), CInvalidArgException*);
    EXPECT_THROW(a.SetSize(-5), CInvalidArgException*);
}

TEST(StringArray, ElementsAreIndependentCopies) {
    CStringArray a;
    CString s("one");
    a.Add(s);
    a.Add("two");
    s = "changed";
    a.SetAtGrow(4, "five");
    ASSERT_EQ(a.GetSize(), 5);
    EXPECT_EQ(a[0], "one");
    EXPECT_EQ(a[1], "two");
    EXPECT_TRUE(a[2].IsEmpty());
    EXPECT_EQ(a[4], "five");
    // Growing from an element of the array itself.
    for (int i = 0; i < 100; ++i) a.Add(a[0]);
    EXPECT_EQ(a[104], "one");
}

TEST(StringArray, InsertRemoveAndReset) {
    CStringArray a;
    a.Add("a");
    a.Add("c");
    a.InsertAt(1, CString("b"));
    a.RemoveAt(0);
    ASSERT_EQ(a.GetSize(), 2);
    EXPECT_EQ(a[0], "b");
    EXPECT_EQ(a[1], "c");
    a.SetSize(0, 7);
    EXPECT_EQ(a.GetSize(), 0);
    EXPECT_EQ(a.GetGrowBy(), 7);
}

}  // namespace
