// The calling thread's last diagnosis (NavoGetLastDiagnosisA): the readers' own words for
// a failure whose Win32 code says less.
#pragma once

#include <string>

namespace navo::win32 {

void ClearDiagnosis();
void SetDiagnosis(std::string text);
const std::string& Diagnosis();

}  // namespace navo::win32
