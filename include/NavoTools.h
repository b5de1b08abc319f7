// NavoTools: utilities for desktop applications in the MFC style.
#pragma once

#include <afxwin.h>

#include "NavoTools/Export.h"
#include "NavoTools/StringIds.h"
#include "NavoTools/ErrorMessages.h"
#if __has_include("NavoTools/Inet.h")
#include "NavoTools/Inet.h"
#endif
#if __has_include("NavoTools/Shell.h")
#include "NavoTools/Shell.h"
#endif
#if __has_include("NavoTools/Collections.h")
#include "NavoTools/Collections.h"
#endif
#if __has_include("NavoTools/Version.h")
#include "NavoTools/Version.h"
#endif
