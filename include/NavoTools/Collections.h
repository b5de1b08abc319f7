// Collections: an array of unsigned integers that sorts in place.
#pragma once

#include <afxwin.h>

#include "NavoTools/Export.h"

// A CUIntArray that sorts with a caller's comparison and assigns from another of its kind.
// It has no run-time class record of its own (it reports itself as a CUIntArray) and no
// copy constructor: copy by default construction and assignment.
class NAVOTOOLS_API CSortUIntArray : public CUIntArray {
public:
    // qsort's contract: negative, zero or positive as the first value orders before, with
    // or after the second.
    typedef int (*CompareFunction)(unsigned int const* first, unsigned int const* second);

    CSortUIntArray();
    ~CSortUIntArray() override;

    // Sorts the elements in place with qsort and compare; equal elements may change their
    // order. A null compare is outside the contract and leaves the array unchanged.
    void Sort(CompareFunction compare);

    // 1, 0 or -1 as *first is greater than, equal to or less than *second, as unsigned
    // values: Sort(Compare) orders ascending.
    static int Compare(unsigned int const* first, unsigned int const* second);

    // Replaces the elements with other's, in order. The growth step stays this array's own;
    // assigning an array to itself leaves it unchanged.
    CSortUIntArray& operator=(const CSortUIntArray& other);
};
