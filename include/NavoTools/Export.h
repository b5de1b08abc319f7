// Export macro of the NavoTools library.
#pragma once

#if defined(_WIN32)
#if defined(NAVOTOOLS_BUILDING)
#define NAVOTOOLS_API __declspec(dllexport)
#else
#define NAVOTOOLS_API __declspec(dllimport)
#endif
#else
#define NAVOTOOLS_API __attribute__((visibility("default")))
#endif
