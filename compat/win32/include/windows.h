// The Win32 subset that NavoTools uses, for Linux. Behaves as the platform does.
#pragma once

#include "windef.h"
#include "winerror.h"
#include "winnt.h"
#include "winnls.h"
#include "winbase.h"
#include "winver.h"
#include "winuser.h"
#include "sysinfoapi.h"
#include "winreg.h"
#include "objbase.h"
#include "navo_crt.h"
#include "navo_state.h"
