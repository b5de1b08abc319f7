// CSortUIntArray: sorting through qsort and element-wise assignment.

#include <cstdlib>

#include "NavoTools/Collections.h"

static_assert(sizeof(unsigned int) == 4, "the sort treats each element as 4 bytes");
static_assert(sizeof(CSortUIntArray) == sizeof(CUIntArray), "the class adds no data members");

namespace {

// qsort calls a function of void pointers; calling the caller's function of unsigned
// pointers through a cast would call it through the wrong type. The caller's function is
// kept here for the length of one sort instead, and restored afterwards, so that a
// comparison that sorts another array on the same thread still works.
thread_local CSortUIntArray::CompareFunction t_compare = nullptr;

int CallCompare(const void* first, const void* second) {
    return t_compare(static_cast<unsigned int const*>(first), static_cast<unsigned int const*>(second));
}

class ScopedCompare {
public:
    explicit ScopedCompare(CSortUIntArray::CompareFunction compare) : previous_(t_compare) { t_compare = compare; }
    ~ScopedCompare() { t_compare = previous_; }
    ScopedCompare(const ScopedCompare&) = delete;
    ScopedCompare& operator=(const ScopedCompare&) = delete;

private:
    CSortUIntArray::CompareFunction previous_;
};

}  // namespace

CSortUIntArray::CSortUIntArray() = default;

CSortUIntArray::~CSortUIntArray() = default;

void CSortUIntArray::Sort(CompareFunction compare) {
    // Fewer than two elements are in order already (and an empty array has no block to
    // hand over). A null function would crash inside qsort; the array is left as it is.
    if (!compare || m_nSize < 2) return;
    ScopedCompare scope(compare);
    qsort(m_pData, size_t(m_nSize), sizeof(unsigned int), &CallCompare);
}

int CSortUIntArray::Compare(unsigned int const* first, unsigned int const* second) {
    if (*first > *second) return 1;
    if (*first < *second) return -1;
    return 0;
}

CSortUIntArray& CSortUIntArray::operator=(const CSortUIntArray& other) {
    // Emptying first and then copying from the source would lose every element when the
    // source is this array.
    if (&other == this) return *this;
    SetSize(0, -1);
    // The source's size is read again at every step, as the elements are appended one by one.
    for (INT_PTR i = 0; i < other.GetSize(); ++i) SetAtGrow(GetSize(), other.GetData()[i]);
    return *this;
}
