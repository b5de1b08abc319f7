// A module without the loader glue: on Linux a plain shared object that LoadLibraryA
// records itself, on Windows a DLL with the run-time's default entry only.
#if defined(_WIN32)
extern "C" __declspec(dllexport) int PlainAnswer() { return 7; }
#else
extern "C" __attribute__((visibility("default"))) int PlainAnswer() { return 7; }
#endif
