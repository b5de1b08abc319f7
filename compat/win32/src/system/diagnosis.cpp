// The calling thread's last diagnosis.
#include "system/diagnosis.h"

#include <windows.h>

#include <cstring>

#include "navo_diagnosis.h"

namespace navo::win32 {
namespace {
thread_local std::string t_diagnosis;
}  // namespace

void ClearDiagnosis() { t_diagnosis.clear(); }

void SetDiagnosis(std::string text) { t_diagnosis = std::move(text); }

const std::string& Diagnosis() { return t_diagnosis; }

}  // namespace navo::win32

extern "C" DWORD WINAPI NavoGetLastDiagnosisA(LPSTR buffer, DWORD size) {
    const std::string& text = navo::win32::Diagnosis();
    if (buffer && size > 0) {
        size_t n = text.size() < size - 1 ? text.size() : size - 1;
        memcpy(buffer, text.data(), n);
        buffer[n] = '\0';
    }
    return DWORD(text.size());
}
