// NavoTools: utilities for desktop applications in the MFC style.
#pragma once

#include <afxwin.h>

#include "NavoTools/Export.h"
#include "NavoTools/StringIds.h"
#include "NavoTools/ErrorMessages.h"
#include "NavoTools/Exceptions.h"
#include "NavoTools/Inet.h"
#include "NavoTools/Shell.h"
#include "NavoTools/Collections.h"
#include "NavoTools/Version.h"
#include "NavoTools/ResourceDll.h"
#include "NavoTools/Mail.h"
#include "NavoTools/Registry.h"
