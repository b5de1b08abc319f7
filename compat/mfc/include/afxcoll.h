// MFC's growable arrays: CStringArray and CUIntArray.
#pragma once

#include "afx.h"

// Contiguous array of CString with size, capacity and growth step.
class NAVO_MFC_API CStringArray : public CObject {
public:
    CStringArray();
    ~CStringArray() override;

    INT_PTR GetSize() const { return m_nSize; }
    INT_PTR GetCount() const { return m_nSize; }
    INT_PTR GetUpperBound() const { return m_nSize - 1; }
    BOOL IsEmpty() const { return m_nSize == 0; }
    // New size and growth step; -1 keeps the current step. Size 0 releases the storage.
    void SetSize(INT_PTR newSize, INT_PTR growBy = -1);
    void FreeExtra();
    void RemoveAll() { SetSize(0); }

    const CString& GetAt(INT_PTR index) const;
    CString& ElementAt(INT_PTR index);
    void SetAt(INT_PTR index, LPCSTR value);
    void SetAt(INT_PTR index, const CString& value);
    const CString& operator[](INT_PTR index) const { return GetAt(index); }
    CString& operator[](INT_PTR index) { return ElementAt(index); }
    const CString* GetData() const { return m_pData; }
    CString* GetData() { return m_pData; }

    // Stores value at index, growing the array first when index is at or past the end.
    void SetAtGrow(INT_PTR index, LPCSTR value);
    void SetAtGrow(INT_PTR index, const CString& value);
    INT_PTR Add(LPCSTR value);
    INT_PTR Add(const CString& value);
    void InsertAt(INT_PTR index, const CString& value, INT_PTR count = 1);
    void RemoveAt(INT_PTR index, INT_PTR count = 1);

    INT_PTR GetGrowBy() const { return m_nGrowBy; }
    INT_PTR GetAllocSize() const { return m_nMaxSize; }

    CRuntimeClass* GetRuntimeClass() const override;
    static const CRuntimeClass classCStringArray;

protected:
    CString* m_pData;
    INT_PTR m_nSize;
    INT_PTR m_nMaxSize;
    INT_PTR m_nGrowBy;
};

// Contiguous array of UINT with size, capacity and growth step.
class NAVO_MFC_API CUIntArray : public CObject {
public:
    CUIntArray();
    ~CUIntArray() override;

    INT_PTR GetSize() const { return m_nSize; }
    INT_PTR GetCount() const { return m_nSize; }
    INT_PTR GetUpperBound() const { return m_nSize - 1; }
    BOOL IsEmpty() const { return m_nSize == 0; }
    // New size and growth step; -1 keeps the current step. Size 0 releases the storage;
    // new elements are zero.
    void SetSize(INT_PTR newSize, INT_PTR growBy = -1);
    void FreeExtra();
    void RemoveAll() { SetSize(0); }

    UINT GetAt(INT_PTR index) const;
    UINT& ElementAt(INT_PTR index);
    void SetAt(INT_PTR index, UINT value);
    UINT operator[](INT_PTR index) const { return GetAt(index); }
    UINT& operator[](INT_PTR index) { return ElementAt(index); }
    const UINT* GetData() const { return m_pData; }
    UINT* GetData() { return m_pData; }

    // Stores value at index, growing the array first when index is at or past the end.
    void SetAtGrow(INT_PTR index, UINT value);
    INT_PTR Add(UINT value);
    void InsertAt(INT_PTR index, UINT value, INT_PTR count = 1);
    void RemoveAt(INT_PTR index, INT_PTR count = 1);

    INT_PTR GetGrowBy() const { return m_nGrowBy; }
    INT_PTR GetAllocSize() const { return m_nMaxSize; }

    CRuntimeClass* GetRuntimeClass() const override;
    static const CRuntimeClass classCUIntArray;

protected:
    UINT* m_pData;
    INT_PTR m_nSize;
    INT_PTR m_nMaxSize;
    INT_PTR m_nGrowBy;
};
