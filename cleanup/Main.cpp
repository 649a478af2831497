#include <windows.h>

#include "cleanup/CleanupSequence.h"
#include "orb/DllSearch.h"

// No window, no arguments: the log is the only record, and the exit code is always 0.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // The program runs elevated: nothing it loads may come from beside it.
    RestrictDllSearchToSystemFolder();
    TaviPreInstallCleanUp();
    return 0;
}
