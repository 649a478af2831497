#include <windows.h>

// Stand-in for vcredist_x86.exe and vcredist_x64.exe: succeeds at once.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    return 0;
}
