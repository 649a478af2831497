#include <windows.h>

#include "quill/Quill.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    StartLogger(L"TaviSetupLog", 1);
    StopLogger();
    return 0;
}
