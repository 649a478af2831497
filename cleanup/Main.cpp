#include <windows.h>

#include "cleanup/CleanupSequence.h"

// No window, no arguments: the log is the only record, and the exit code is always 0.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // The program runs elevated from folders such as Downloads: DLLs loaded at run time
    // come from the system folder only, never from beside the program.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    TaviPreInstallCleanUp();
    return 0;
}
