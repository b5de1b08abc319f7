// CStringArray and CUIntArray: contiguous arrays with a size, a capacity and a growth step.
//
// Growth follows MFC: a growth step of 0 means "choose one" (an eighth of the size, at
// least 4 and at most 1024 elements); SetSize with step -1 keeps the current step.
#include <afxcoll.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

const CRuntimeClass CStringArray::classCStringArray = {"CStringArray", sizeof(CStringArray), 0xffff, nullptr,
                                                       RUNTIME_CLASS(CObject), nullptr};
const CRuntimeClass CUIntArray::classCUIntArray = {"CUIntArray", sizeof(CUIntArray), 0xffff, nullptr,
                                                   RUNTIME_CLASS(CObject), nullptr};
CRuntimeClass* CStringArray::GetRuntimeClass() const { return RUNTIME_CLASS(CStringArray); }
CRuntimeClass* CUIntArray::GetRuntimeClass() const { return RUNTIME_CLASS(CUIntArray); }

namespace {

INT_PTR NewCapacity(INT_PTR size, INT_PTR needed, INT_PTR growBy, INT_PTR maxElements) {
    INT_PTR step = growBy;
    if (step == 0) {
        step = size / 8;
        step = step < 4 ? 4 : (step > 1024 ? 1024 : step);
    }
    INT_PTR capacity = size + step;
    if (capacity < needed) capacity = needed;
    if (needed < 0 || capacity > maxElements) AfxThrowMemoryException();
    return capacity;
}

// base + count as a new size; a size that INT_PTR cannot hold is out of memory, as any
// size past the largest allocation is.
INT_PTR GrownSize(INT_PTR base, INT_PTR count) {
    if (count > INTPTR_MAX - base) AfxThrowMemoryException();
    return base + count;
}

void CheckIndex(INT_PTR index, INT_PTR size) {
    if (index < 0 || index >= size) AfxThrowInvalidArgException();
}

}  // namespace

// --- CStringArray -----------------------------------------------------------------------

CStringArray::CStringArray() : m_pData(nullptr), m_nSize(0), m_nMaxSize(0), m_nGrowBy(0) {}

CStringArray::~CStringArray() { SetSize(0); }

void CStringArray::SetSize(INT_PTR newSize, INT_PTR growBy) {
    if (newSize < 0) AfxThrowInvalidArgException();
    if (growBy >= 0) m_nGrowBy = growBy;
    if (newSize == 0) {
        for (INT_PTR i = 0; i < m_nSize; ++i) m_pData[i].~CString();
        free(m_pData);
        m_pData = nullptr;
        m_nSize = m_nMaxSize = 0;
        return;
    }
    if (newSize > m_nMaxSize) {
        INT_PTR capacity = m_pData ? NewCapacity(m_nSize, newSize, m_nGrowBy, PTRDIFF_MAX / INT_PTR(sizeof(CString)))
                                   : newSize;
        // CString is trivially relocatable (it owns a pointer and two counts), so the
        // elements move with their bytes.
        void* data = malloc(size_t(capacity) * sizeof(CString));
        if (!data) AfxThrowMemoryException();
        // Elements exist only in allocated storage: m_nSize > 0 means m_pData is set.
        // NOLINTNEXTLINE(clang-analyzer-core.NonNullParamChecker)
        if (m_nSize) memcpy(data, static_cast<void*>(m_pData), size_t(m_nSize) * sizeof(CString));
        free(m_pData);
        m_pData = static_cast<CString*>(data);
        m_nMaxSize = capacity;
    }
    for (INT_PTR i = m_nSize; i < newSize; ++i) new (&m_pData[i]) CString();
    for (INT_PTR i = newSize; i < m_nSize; ++i) m_pData[i].~CString();
    m_nSize = newSize;
}

void CStringArray::FreeExtra() {
    if (m_nSize == m_nMaxSize) return;
    if (m_nSize == 0) {
        SetSize(0);
        return;
    }
    void* data = realloc(static_cast<void*>(m_pData), size_t(m_nSize) * sizeof(CString));
    if (data) {
        m_pData = static_cast<CString*>(data);
        m_nMaxSize = m_nSize;
    }
}

const CString& CStringArray::GetAt(INT_PTR index) const {
    CheckIndex(index, m_nSize);
    return m_pData[index];
}

CString& CStringArray::ElementAt(INT_PTR index) {
    CheckIndex(index, m_nSize);
    return m_pData[index];
}

void CStringArray::SetAt(INT_PTR index, LPCSTR value) { ElementAt(index) = value; }
void CStringArray::SetAt(INT_PTR index, const CString& value) { ElementAt(index) = value; }

void CStringArray::SetAtGrow(INT_PTR index, LPCSTR value) { SetAtGrow(index, CString(value)); }

void CStringArray::SetAtGrow(INT_PTR index, const CString& value) {
    if (index < 0) AfxThrowInvalidArgException();
    if (index >= m_nSize) {
        CString copy(value);  // value may be an element of this array
        SetSize(GrownSize(index, 1), -1);
        m_pData[index] = static_cast<CString&&>(copy);
        return;
    }
    m_pData[index] = value;
}

INT_PTR CStringArray::Add(LPCSTR value) { return Add(CString(value)); }

INT_PTR CStringArray::Add(const CString& value) {
    INT_PTR index = m_nSize;
    SetAtGrow(index, value);
    return index;
}

void CStringArray::InsertAt(INT_PTR index, const CString& value, INT_PTR count) {
    if (index < 0 || count <= 0) {
        if (index < 0 || count < 0) AfxThrowInvalidArgException();
        return;
    }
    CString copy(value);  // NOLINT(performance-unnecessary-copy-initialization): value may be an element that SetSize moves
    INT_PTR oldSize = m_nSize;
    if (index >= oldSize) {
        SetSize(GrownSize(index, count), -1);
    } else {
        SetSize(GrownSize(oldSize, count), -1);
        // Shift the tail by bytes, then fill the gap with fresh strings. The array now
        // holds at least oldSize + count > 0 elements, so m_pData is set.
        // NOLINTNEXTLINE(clang-analyzer-core.CallAndMessage)
        for (INT_PTR i = oldSize; i < oldSize + count; ++i) m_pData[i].~CString();
        // NOLINTNEXTLINE(clang-analyzer-core.NonNullParamChecker)
        memmove(static_cast<void*>(m_pData + index + count), static_cast<void*>(m_pData + index),
                size_t(oldSize - index) * sizeof(CString));
        for (INT_PTR i = index; i < index + count; ++i) new (&m_pData[i]) CString();
    }
    for (INT_PTR i = index; i < index + count; ++i) m_pData[i] = copy;
}

void CStringArray::RemoveAt(INT_PTR index, INT_PTR count) {
    if (index < 0 || count < 0 || count > m_nSize - index) AfxThrowInvalidArgException();
    for (INT_PTR i = index; i < index + count; ++i) m_pData[i].~CString();
    memmove(static_cast<void*>(m_pData + index), static_cast<void*>(m_pData + index + count),
            size_t(m_nSize - index - count) * sizeof(CString));
    m_nSize -= count;
}

// --- CUIntArray -------------------------------------------------------------------------

CUIntArray::CUIntArray() : m_pData(nullptr), m_nSize(0), m_nMaxSize(0), m_nGrowBy(0) {}

CUIntArray::~CUIntArray() { free(m_pData); }

void CUIntArray::SetSize(INT_PTR newSize, INT_PTR growBy) {
    if (newSize < 0) AfxThrowInvalidArgException();
    if (growBy >= 0) m_nGrowBy = growBy;
    if (newSize == 0) {
        free(m_pData);
        m_pData = nullptr;
        m_nSize = m_nMaxSize = 0;
        return;
    }
    if (newSize > m_nMaxSize) {
        INT_PTR capacity =
            m_pData ? NewCapacity(m_nSize, newSize, m_nGrowBy, PTRDIFF_MAX / INT_PTR(sizeof(UINT))) : newSize;
        UINT* data = static_cast<UINT*>(realloc(m_pData, size_t(capacity) * sizeof(UINT)));
        if (!data) AfxThrowMemoryException();
        m_pData = data;
        m_nMaxSize = capacity;
    }
    if (newSize > m_nSize) memset(m_pData + m_nSize, 0, size_t(newSize - m_nSize) * sizeof(UINT));
    m_nSize = newSize;
}

void CUIntArray::FreeExtra() {
    if (m_nSize == m_nMaxSize) return;
    if (m_nSize == 0) {
        SetSize(0);
        return;
    }
    UINT* data = static_cast<UINT*>(realloc(m_pData, size_t(m_nSize) * sizeof(UINT)));
    if (data) {
        m_pData = data;
        m_nMaxSize = m_nSize;
    }
}

UINT CUIntArray::GetAt(INT_PTR index) const {
    CheckIndex(index, m_nSize);
    return m_pData[index];
}

UINT& CUIntArray::ElementAt(INT_PTR index) {
    CheckIndex(index, m_nSize);
    return m_pData[index];
}

void CUIntArray::SetAt(INT_PTR index, UINT value) { ElementAt(index) = value; }

void CUIntArray::SetAtGrow(INT_PTR index, UINT value) {
    if (index < 0) AfxThrowInvalidArgException();
    if (index >= m_nSize) SetSize(GrownSize(index, 1), -1);
    m_pData[index] = value;
}

INT_PTR CUIntArray::Add(UINT value) {
    INT_PTR index = m_nSize;
    SetAtGrow(index, value);
    return index;
}

void CUIntArray::InsertAt(INT_PTR index, UINT value, INT_PTR count) {
    if (index < 0 || count < 0) AfxThrowInvalidArgException();
    if (count == 0) return;
    INT_PTR oldSize = m_nSize;
    if (index >= oldSize) {
        SetSize(GrownSize(index, count), -1);
    } else {
        SetSize(GrownSize(oldSize, count), -1);
        // At least oldSize + count > 0 elements: m_pData is set.
        // NOLINTNEXTLINE(clang-analyzer-core.NonNullParamChecker)
        memmove(m_pData + index + count, m_pData + index, size_t(oldSize - index) * sizeof(UINT));
    }
    for (INT_PTR i = index; i < index + count; ++i) m_pData[i] = value;
}

void CUIntArray::RemoveAt(INT_PTR index, INT_PTR count) {
    if (index < 0 || count < 0 || count > m_nSize - index) AfxThrowInvalidArgException();
    memmove(m_pData + index, m_pData + index + count, size_t(m_nSize - index - count) * sizeof(UINT));
    m_nSize -= count;
}
