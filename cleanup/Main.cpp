#include <windows.h>

#include "cleanup/CleanupSequence.h"

// No window, no arguments: the log is the only record, and the exit code is always 0.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    TaviPreInstallCleanUp();
    return 0;
}
