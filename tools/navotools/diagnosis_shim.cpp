// The readers' diagnosis through the Linux layer's extension call. The platform has no
// such call: there the diagnosis is always empty and the messages carry the system's text
// alone.
#include <windows.h>

#include <string>

#ifndef _WIN32
#include "navo_diagnosis.h"
#endif

#include "tool_support.h"

namespace navotools {

std::string LastDiagnosis() {
#ifdef _WIN32
    return {};
#else
    char buffer[1024];
    DWORD length = NavoGetLastDiagnosisA(buffer, sizeof buffer);
    return std::string(buffer, length < sizeof buffer ? length : sizeof buffer - 1);
#endif
}

}  // namespace navotools
