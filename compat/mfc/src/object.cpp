// CObject, run-time classes and the exception classes.
#include <afxwin.h>

#include <cstring>

BOOL CRuntimeClass::IsDerivedFrom(const CRuntimeClass* pBaseClass) const {
    for (const CRuntimeClass* c = this; c; c = c->m_pBaseClass)
        if (c == pBaseClass) return TRUE;
    return FALSE;
}

CObject* CRuntimeClass::CreateObject() { return m_pfnCreateObject ? m_pfnCreateObject() : nullptr; }

const CRuntimeClass CObject::classCObject = {"CObject", sizeof(CObject), 0xffff, nullptr, nullptr, nullptr};

CObject::CObject() = default;
CObject::~CObject() = default;
CRuntimeClass* CObject::GetRuntimeClass() const { return RUNTIME_CLASS(CObject); }
void CObject::Serialize(CArchive&) {}
void CObject::AssertValid() const {}
void CObject::Dump(CDumpContext&) const {}
BOOL CObject::IsKindOf(const CRuntimeClass* pClass) const { return GetRuntimeClass()->IsDerivedFrom(pClass); }
BOOL CObject::IsSerializable() const { return GetRuntimeClass()->m_wSchema != 0xffff; }

#define NAVO_IMPLEMENT_CLASS(name, base)                                                          \
    const CRuntimeClass name::class##name = {#name, sizeof(name), 0xffff, nullptr,               \
                                             RUNTIME_CLASS(base), nullptr};                       \
    CRuntimeClass* name::GetRuntimeClass() const { return RUNTIME_CLASS(name); }

NAVO_IMPLEMENT_CLASS(CException, CObject)
NAVO_IMPLEMENT_CLASS(CMemoryException, CException)
NAVO_IMPLEMENT_CLASS(CNotSupportedException, CException)
NAVO_IMPLEMENT_CLASS(CInvalidArgException, CException)

namespace {

// Shown by ReportError when an exception has no text of its own.
const char kNoErrorMessage[] = "No description of this error is available.";

BOOL CopyErrorText(const char* text, LPSTR buffer, UINT bufferSize, PUINT helpContext) {
    if (helpContext) *helpContext = 0;
    lstrcpynA(buffer, text, int(bufferSize > 0x7fffffffu ? 0x7fffffffu : bufferSize));
    return TRUE;
}

}  // namespace

CException::CException() : m_bAutoDelete(TRUE) {}
CException::CException(BOOL bAutoDelete) : m_bAutoDelete(bAutoDelete) {}
CException::~CException() = default;

void CException::Delete() {
    if (m_bAutoDelete > 0) delete this;
}

BOOL CException::GetErrorMessage(LPSTR, UINT, PUINT helpContext) {
    if (helpContext) *helpContext = 0;
    return FALSE;
}

int CException::ReportError(UINT type, UINT messageId) {
    char text[512];
    UINT helpContext = 0;
    if (GetErrorMessage(text, sizeof text, &helpContext)) return AfxMessageBox(text, type, helpContext);
    CString fallback;
    if (messageId == 0 || !fallback.LoadString(messageId)) fallback = kNoErrorMessage;
    return AfxMessageBox(fallback, type, helpContext);
}

CMemoryException::CMemoryException() = default;
CMemoryException::CMemoryException(BOOL bAutoDelete) : CException(bAutoDelete) {}
BOOL CMemoryException::GetErrorMessage(LPSTR buffer, UINT bufferSize, PUINT helpContext) {
    return CopyErrorText("Out of memory.", buffer, bufferSize, helpContext);
}

CNotSupportedException::CNotSupportedException() = default;
CNotSupportedException::CNotSupportedException(BOOL bAutoDelete) : CException(bAutoDelete) {}
BOOL CNotSupportedException::GetErrorMessage(LPSTR buffer, UINT bufferSize, PUINT helpContext) {
    return CopyErrorText("The requested operation is not supported.", buffer, bufferSize, helpContext);
}

CInvalidArgException::CInvalidArgException() = default;
CInvalidArgException::CInvalidArgException(BOOL bAutoDelete) : CException(bAutoDelete) {}
BOOL CInvalidArgException::GetErrorMessage(LPSTR buffer, UINT bufferSize, PUINT helpContext) {
    return CopyErrorText("An argument was not valid.", buffer, bufferSize, helpContext);
}

// The memory and not-supported exceptions are thrown as pointers to static objects that
// never delete themselves: reporting low memory must not need memory.
void AFXAPI AfxThrowMemoryException() {
    static CMemoryException instance(FALSE);
    throw &instance;
}

void AFXAPI AfxThrowNotSupportedException() {
    static CNotSupportedException instance(FALSE);
    throw &instance;
}

void AFXAPI AfxThrowInvalidArgException() {
    static CInvalidArgException instance(FALSE);
    throw &instance;
}
