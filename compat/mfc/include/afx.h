// Core MFC facilities: run-time classes, CObject, the exception classes and CString.
#pragma once

#include <windows.h>

#include <cstdarg>

#include "afxexport.h"

class CObject;
class CArchive;
class CDumpContext;
class CString;

// Run-time class record. Records of one module form a singly linked list through
// m_pNextClass, headed in the module state.
struct NAVO_MFC_API CRuntimeClass {
    LPCSTR m_lpszClassName;
    int m_nObjectSize;
    UINT m_wSchema;
    CObject*(AFXAPI* m_pfnCreateObject)();
    CRuntimeClass* m_pBaseClass;
    CRuntimeClass* m_pNextClass;

    // True when this class is pBaseClass or derives from it.
    BOOL IsDerivedFrom(const CRuntimeClass* pBaseClass) const;
    CObject* CreateObject();
};

#define RUNTIME_CLASS(class_name) (const_cast<CRuntimeClass*>(&class_name::class##class_name))

// Root of the class hierarchy. Virtual operations in MFC's slot order.
class NAVO_MFC_API CObject {
public:
    virtual CRuntimeClass* GetRuntimeClass() const;
    virtual ~CObject();
    virtual void Serialize(CArchive& ar);
    virtual void AssertValid() const;
    virtual void Dump(CDumpContext& dc) const;

    BOOL IsKindOf(const CRuntimeClass* pClass) const;
    BOOL IsSerializable() const;

    static const CRuntimeClass classCObject;

protected:
    CObject();

private:
    CObject(const CObject&) = delete;
    CObject& operator=(const CObject&) = delete;
};

// Base of MFC's exceptions, thrown by pointer. An object made with `new` deletes itself on
// Delete(); the static objects that report low memory do not.
class NAVO_MFC_API CException : public CObject {
public:
    CException();
    explicit CException(BOOL bAutoDelete);
    ~CException() override;

    void Delete();

    // Copies the description into buffer (at most bufferSize - 1 bytes and a terminator)
    // and stores the help context. The base has no description and returns FALSE.
    virtual BOOL GetErrorMessage(LPSTR buffer, UINT bufferSize, PUINT helpContext = nullptr);

    // Shows GetErrorMessage's text in a message box through AfxMessageBox, or, when it gives
    // FALSE, the string messageId (or the built-in fallback text when that is 0 or absent).
    // Returns the button chosen.
    virtual int ReportError(UINT type = MB_OK, UINT messageId = 0);

    CRuntimeClass* GetRuntimeClass() const override;
    static const CRuntimeClass classCException;

    BOOL m_bAutoDelete;
};

// Raised when memory runs out. Thrown as a pointer to a static object, so that the throw
// itself needs no memory.
class NAVO_MFC_API CMemoryException : public CException {
public:
    CMemoryException();
    explicit CMemoryException(BOOL bAutoDelete);
    BOOL GetErrorMessage(LPSTR buffer, UINT bufferSize, PUINT helpContext = nullptr) override;
    CRuntimeClass* GetRuntimeClass() const override;
    static const CRuntimeClass classCMemoryException;
};

// Raised for a request the object does not support.
class NAVO_MFC_API CNotSupportedException : public CException {
public:
    CNotSupportedException();
    explicit CNotSupportedException(BOOL bAutoDelete);
    BOOL GetErrorMessage(LPSTR buffer, UINT bufferSize, PUINT helpContext = nullptr) override;
    CRuntimeClass* GetRuntimeClass() const override;
    static const CRuntimeClass classCNotSupportedException;
};

// Raised for an argument outside a function's contract (a malformed format, say).
class NAVO_MFC_API CInvalidArgException : public CException {
public:
    CInvalidArgException();
    explicit CInvalidArgException(BOOL bAutoDelete);
    BOOL GetErrorMessage(LPSTR buffer, UINT bufferSize, PUINT helpContext = nullptr) override;
    CRuntimeClass* GetRuntimeClass() const override;
    static const CRuntimeClass classCInvalidArgException;
};

[[noreturn]] NAVO_MFC_API void AFXAPI AfxThrowMemoryException();
[[noreturn]] NAVO_MFC_API void AFXAPI AfxThrowNotSupportedException();
[[noreturn]] NAVO_MFC_API void AFXAPI AfxThrowInvalidArgException();

// Counted string of 8-bit characters in the ANSI code page. Value semantics: every copy is
// independent. Lengths count bytes; a string may hold zero bytes inside its length.
// Allocation failures raise CMemoryException.
class NAVO_MFC_API CString {
public:
    CString() noexcept;
    CString(const CString& other);
    CString(CString&& other) noexcept;
    // A null pointer gives an empty string; a value made with MAKEINTRESOURCE loads that
    // string ID through the resource chain, as MFC does.
    CString(LPCSTR text);
    CString(LPCSTR text, int length);
    CString(char ch, int repeat = 1);
    ~CString();

    CString& operator=(const CString& other);
    CString& operator=(CString&& other) noexcept;
    CString& operator=(LPCSTR text);
    CString& operator=(char ch);

    CString& operator+=(const CString& other);
    CString& operator+=(LPCSTR text);
    CString& operator+=(char ch);

    int GetLength() const noexcept { return m_nLength; }
    BOOL IsEmpty() const noexcept { return m_nLength == 0; }
    void Empty() noexcept;
    operator LPCSTR() const noexcept { return m_pchData; }
    LPCSTR GetString() const noexcept { return m_pchData; }

    char GetAt(int index) const;
    void SetAt(int index, char ch);
    char operator[](int index) const { return GetAt(index); }

    int Compare(LPCSTR other) const;
    int CompareNoCase(LPCSTR other) const;

    CString Mid(int first) const;
    CString Mid(int first, int count) const;
    CString Left(int count) const;
    CString Right(int count) const;

    // First index of ch or of the substring at or after start, or -1.
    int Find(char ch) const;
    int Find(char ch, int start) const;
    int Find(LPCSTR sub) const;
    int Find(LPCSTR sub, int start) const;
    int ReverseFind(char ch) const;

    // Removes count bytes at index (clamped to the string); returns the new length.
    int Delete(int index, int count = 1);
    int Insert(int index, char ch);
    int Insert(int index, LPCSTR text);
    int Replace(char oldCh, char newCh);
    int Replace(LPCSTR oldText, LPCSTR newText);
    int Remove(char ch);

    // Trim ASCII white space (or the given characters) from the right or the left.
    CString& TrimRight();
    CString& TrimRight(char target);
    CString& TrimRight(LPCSTR targets);
    CString& TrimLeft();
    CString& TrimLeft(char target);
    CString& TrimLeft(LPCSTR targets);
    CString& Trim();
    CString& MakeUpper();
    CString& MakeLower();

    // printf-style formatting, from a format text or a string ID.
    void Format(LPCSTR format, ...);
    void Format(UINT formatId, ...);
    void FormatV(LPCSTR format, va_list args);

    // Formatting with the message inserts of FormatMessageA ("%1", "%2!08X!", "%n").
    // An empty format gives an empty string; a malformed one raises CInvalidArgException.
    void FormatMessage(LPCSTR format, ...);
    void FormatMessage(UINT formatId, ...);
    void FormatMessageV(LPCSTR format, va_list* args);

    // Loads a string ID through the resource chain; FALSE and an empty string when no
    // module holds it.
    BOOL LoadString(UINT id);

    // A writable buffer with room for minLength bytes and a terminator; ReleaseBuffer(-1)
    // then sets the length up to the first zero byte.
    LPSTR GetBuffer(int minLength);
    LPSTR GetBuffer() { return GetBuffer(0); }
    LPSTR GetBufferSetLength(int length);
    void ReleaseBuffer(int newLength = -1);
    void FreeExtra();
    int GetAllocLength() const noexcept { return m_nAlloc; }
    void Preallocate(int length);

    // Appends length bytes; the cheap path for builders that grow a string piece by piece.
    void Append(LPCSTR text, int length);
    void AppendChar(char ch);

private:
    void Reserve(int capacity);
    void Assign(LPCSTR text, int length);

    char* m_pchData;
    int m_nLength;
    int m_nAlloc;
};

NAVO_MFC_API CString AFXAPI operator+(const CString& a, const CString& b);
NAVO_MFC_API CString AFXAPI operator+(const CString& a, LPCSTR b);
NAVO_MFC_API CString AFXAPI operator+(LPCSTR a, const CString& b);
NAVO_MFC_API CString AFXAPI operator+(const CString& a, char b);
NAVO_MFC_API CString AFXAPI operator+(char a, const CString& b);

NAVO_MFC_API bool AFXAPI operator==(const CString& a, const CString& b);
NAVO_MFC_API bool AFXAPI operator==(const CString& a, LPCSTR b);
NAVO_MFC_API bool AFXAPI operator==(LPCSTR a, const CString& b);
NAVO_MFC_API bool AFXAPI operator!=(const CString& a, const CString& b);
NAVO_MFC_API bool AFXAPI operator!=(const CString& a, LPCSTR b);
NAVO_MFC_API bool AFXAPI operator!=(LPCSTR a, const CString& b);
NAVO_MFC_API bool AFXAPI operator<(const CString& a, const CString& b);
