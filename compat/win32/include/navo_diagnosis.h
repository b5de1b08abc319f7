// Project extension: why the last reader call of this thread failed, in words.
//
// The Win32 calls report a failure by its error code only, and keep the platform's codes.
// The readers behind some of them know more (a file that is neither PE nor ELF, a folder,
// a resource directory cut at an offset). This call hands that diagnosis to tools.
#pragma once

#include "windef.h"

extern "C" {

// Copies the calling thread's last diagnosis into buffer, terminated, cut to size - 1
// characters when longer. Returns its full length without the terminator; 0 when there
// is none. Set by a failing LoadLibraryA / LoadLibraryExA, GetFileVersionInfoSizeA /
// GetFileVersionInfoA and IPersistFile::Load of the shell link object, when the reader
// knows more than the error code says; each of these calls clears it first, so it always
// belongs to the last of them. Texts are English, without a line end, for example
// "neither a PE nor an ELF file (at offset 0x0)".
WINBASEAPI DWORD WINAPI NavoGetLastDiagnosisA(LPSTR buffer, DWORD size);

}  // extern "C"
