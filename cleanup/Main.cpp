#include <windows.h>

#include "cleanup/CleanupSequence.h"

namespace {

using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);

}  // namespace

// No window, no arguments: the log is the only record, and the exit code is always 0.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // The program runs elevated from folders such as Downloads: DLLs loaded at run time
    // come from the system folder only, never from beside the program. Looked up rather
    // than imported, so that a system without the call still starts the program.
    const auto setDefaultDllDirectories = reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
    if (setDefaultDllDirectories) setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    TaviPreInstallCleanUp();
    return 0;
}
