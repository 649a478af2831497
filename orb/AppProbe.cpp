#include "orb/AppProbe.h"

#include <windows.h>

const wchar_t* const AppCandidatePaths[4] = {
    L"C:\\Program Files (x86)\\Vardo Corporation\\Vardo Tavi\\TaviApp.exe",
    L"C:\\Program Files\\Vardo Corporation\\Vardo Tavi\\TaviApp.exe",
    L"C:\\Program Files (x86)\\Vardo Corporation\\Vardo Corvane\\TaviApp.exe",
    L"C:\\Program Files\\Vardo Corporation\\Vardo Corvane\\TaviApp.exe",
};

bool FileExists(const wchar_t* path) {
    WIN32_FIND_DATAW found;
    HANDLE handle = FindFirstFileW(path, &found);
    if (handle == INVALID_HANDLE_VALUE) return false;
    FindClose(handle);
    return true;
}

bool FindInstalledApp(orb::String& path) {
    for (const wchar_t* candidate : AppCandidatePaths) {
        path.Assign(candidate);
        if (FileExists(candidate)) return true;
    }
    path.Assign(L"");
    return false;
}
