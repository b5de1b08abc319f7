// A plain shared object without the loader glue: LoadLibraryA records it itself.
extern "C" __attribute__((visibility("default"))) int PlainAnswer() { return 7; }
