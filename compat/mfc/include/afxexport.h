// Export macro of the MFC-compatible layer, which is built into the NavoTools library.
#pragma once

#if defined(_WIN32)
#if defined(NAVOTOOLS_BUILDING)
#define NAVO_MFC_API __declspec(dllexport)
#else
#define NAVO_MFC_API __declspec(dllimport)
#endif
#else
#define NAVO_MFC_API __attribute__((visibility("default")))
#endif

#ifndef AFXAPI
#define AFXAPI
#endif
