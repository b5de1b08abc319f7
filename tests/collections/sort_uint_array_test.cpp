// CSortUIntArray: sorting with a caller's comparison and assignment.
#include <gtest/gtest.h>

#include <vector>

#include "NavoTools.h"

namespace {

std::vector<UINT> Elements(const CUIntArray& a) {
    return std::vector<UINT>(a.GetData(), a.GetData() + a.GetSize());
}

void Fill(CUIntArray& a, std::initializer_list<UINT> values) {
    for (UINT v : values) a.Add(v);
}

int g_calls = 0;
int CountingCompare(unsigned int const* a, unsigned int const* b) {
    ++g_calls;
    return CSortUIntArray::Compare(a, b);
}

int Descending(unsigned int const* a, unsigned int const* b) { return CSortUIntArray::Compare(b, a); }

TEST(SortUIntArrayCompare, OrdersAsUnsignedValues) {
    UINT five = 5, zero = 0, max = 4294967295u;
    EXPECT_EQ(CSortUIntArray::Compare(&five, &five), 0);
    EXPECT_EQ(CSortUIntArray::Compare(&zero, &max), -1);
    EXPECT_EQ(CSortUIntArray::Compare(&max, &zero), 1);
    // Exactly 1 and -1, not a difference of the values.
    UINT three = 3;
    EXPECT_EQ(CSortUIntArray::Compare(&five, &three), 1);
    EXPECT_EQ(CSortUIntArray::Compare(&three, &five), -1);
}

TEST(SortUIntArraySort, AscendingWithTheLargestValueLast) {
    CSortUIntArray a;
    Fill(a, {3, 4294967295u, 1, 3});
    a.Sort(&CSortUIntArray::Compare);
    EXPECT_EQ(Elements(a), (std::vector<UINT>{1, 3, 3, 4294967295u}));
}

TEST(SortUIntArraySort, UsesTheCallersComparison) {
    CSortUIntArray a;
    Fill(a, {2, 9, 0x80000000u, 7, 1});
    a.Sort(&Descending);
    EXPECT_EQ(Elements(a), (std::vector<UINT>{0x80000000u, 9, 7, 2, 1}));
    g_calls = 0;
    a.Sort(&CountingCompare);
    EXPECT_GT(g_calls, 0);
    EXPECT_EQ(Elements(a), (std::vector<UINT>{1, 2, 7, 9, 0x80000000u}));
}

TEST(SortUIntArraySort, EmptyArrayNeverCallsTheComparison) {
    CSortUIntArray a;
    g_calls = 0;
    a.Sort(&CountingCompare);
    EXPECT_EQ(g_calls, 0);
    EXPECT_EQ(a.GetSize(), 0);
}

TEST(SortUIntArraySort, NullComparisonLeavesTheArrayUnchanged) {
    CSortUIntArray a;
    Fill(a, {3, 1, 2});
    a.Sort(nullptr);
    EXPECT_EQ(Elements(a), (std::vector<UINT>{3, 1, 2}));
}

// A comparison that sorts another array on the same thread while the outer sort runs.
CSortUIntArray* g_inner = nullptr;
int NestingCompare(unsigned int const* a, unsigned int const* b) {
    if (g_inner) {
        CSortUIntArray* inner = g_inner;
        g_inner = nullptr;
        inner->Sort(&Descending);
    }
    return CSortUIntArray::Compare(a, b);
}

TEST(SortUIntArraySort, ComparisonMaySortAnotherArray) {
    CSortUIntArray outer, inner;
    Fill(outer, {5, 1, 4, 2, 3});
    Fill(inner, {1, 3, 2});
    g_inner = &inner;
    outer.Sort(&NestingCompare);
    EXPECT_EQ(Elements(outer), (std::vector<UINT>{1, 2, 3, 4, 5}));
    EXPECT_EQ(Elements(inner), (std::vector<UINT>{3, 2, 1}));
}

TEST(SortUIntArrayAssign, CopiesTheElementsInOrderAndKeepsTheTargetsGrowthStep) {
    CSortUIntArray source, target;
    Fill(source, {7, 4294967295u, 0});
    source.SetSize(3, 2);
    target.SetSize(0, 10);
    target.Add(99);
    CSortUIntArray& result = (target = source);
    EXPECT_EQ(&result, &target);
    EXPECT_EQ(Elements(target), (std::vector<UINT>{7, 4294967295u, 0}));
    EXPECT_EQ(target.GetGrowBy(), 10);
    EXPECT_EQ(source.GetGrowBy(), 2);
    EXPECT_EQ(Elements(source), (std::vector<UINT>{7, 4294967295u, 0}));
}

TEST(SortUIntArrayAssign, EmptySourceEmptiesTheTargetAndReleasesItsStorage) {
    CSortUIntArray empty, target;
    Fill(target, {1, 2, 3});
    target = empty;
    EXPECT_EQ(target.GetSize(), 0);
    EXPECT_EQ(target.GetAllocSize(), 0);
    EXPECT_EQ(target.GetData(), nullptr);
}

TEST(SortUIntArrayAssign, SelfAssignmentKeepsTheElements) {
    CSortUIntArray a;
    a.SetSize(0, 10);
    Fill(a, {3, 1, 2});
    CSortUIntArray& alias = a;
    a = alias;
    EXPECT_EQ(Elements(a), (std::vector<UINT>{3, 1, 2}));
    EXPECT_EQ(a.GetGrowBy(), 10);
}

TEST(SortUIntArrayAssign, TargetsAreIndependentAfterwards) {
    CSortUIntArray source, target;
    Fill(source, {1, 2});
    target = source;
    source.SetAt(0, 42);
    EXPECT_EQ(Elements(target), (std::vector<UINT>{1, 2}));
}

TEST(SortUIntArrayClass, ReportsItselfAsAUIntArray) {
    CSortUIntArray a;
    EXPECT_EQ(a.GetRuntimeClass(), RUNTIME_CLASS(CUIntArray));
    CUIntArray* base = new CSortUIntArray;
    base->Add(1);
    delete base;  // the virtual destructor releases the storage (checked by the sanitizer build)
}

}  // namespace
