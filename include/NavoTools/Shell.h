// Shell and process utilities.
#pragma once

#include <afxwin.h>

#include "NavoTools/Export.h"

// The text with each byte of value 0x20 or less and each plus sign replaced by '%' and two
// upper-case hex digits ("a b+c" gives "a%20b%2Bc"); every other byte, the percent sign
// and bytes 0x7F-0xFF included, passes unchanged. Bytes are escaped one by one, so the
// escape of a concatenation is the concatenation of the escapes.
NAVOTOOLS_API CString ConvertForWeb(CString text);
