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

// Module-local linkage for names the loader glue reaches by name (DllMain, the raw attach
// hook): every module that links the glue has its own. PE symbols are module-local unless
// exported, so this is empty there.
#if defined(_WIN32)
#define NAVOTOOLS_MODULE_LOCAL
#else
#define NAVOTOOLS_MODULE_LOCAL __attribute__((visibility("hidden")))
#endif
