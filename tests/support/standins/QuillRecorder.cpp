// Stands in for Quill.dll: records each call (see RecordLine.h) as "StartLogger <name>
// <mode>" or "StopLogger", so a test sees the calls in order with the programs' runs.
#include <windows.h>

#include <string>

#include "RecordLine.h"

namespace {

HMODULE ThisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<const wchar_t*>(&ThisModule), &module);
    return module;
}

}  // namespace

extern "C" void __cdecl StartLogger(const wchar_t* name, int mode) {
    AppendRecordLine(ThisModule(), std::wstring(L"StartLogger ") + (name ? name : L"(null)") + L" " +
                                       std::to_wstring(mode));
}

extern "C" void __cdecl StopLogger() {
    AppendRecordLine(ThisModule(), L"StopLogger");
}
