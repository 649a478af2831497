#include "quill/Quill.h"

extern "C" void __cdecl StartLogger(const wchar_t*, int) {}

extern "C" void __cdecl StopLogger() {}
