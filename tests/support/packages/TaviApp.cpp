#include <windows.h>

// Stand-in for the product application: the setup programs look only at its presence
// and its file version, so it does nothing.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    return 0;
}
