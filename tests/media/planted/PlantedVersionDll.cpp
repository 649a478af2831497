// A stand-in version.dll planted beside the media programs: it offers the version API's
// entry points, and every process that loads it appends a line to
// C:\planted-dll-loads.txt: "static" or "dynamic" (how it was loaded), a blank, and the
// process's own path.
#include <windows.h>

namespace {

void RecordLoad(bool loadedWithProcess) {
    wchar_t module[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    HANDLE file = CreateFileW(L"C:\\planted-dll-loads.txt", FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    char line[MAX_PATH * 3 + 16];
    const int prefix = lstrlenA(lstrcpyA(line, loadedWithProcess ? "static " : "dynamic "));
    const int n = WideCharToMultiByte(CP_UTF8, 0, module, -1, line + prefix, sizeof(line) - prefix - 2,
                                      nullptr, nullptr);
    if (n > 0) {
        line[prefix + n - 1] = '\n';
        DWORD written = 0;
        WriteFile(file, line, static_cast<DWORD>(prefix + n), &written, nullptr);
    }
    CloseHandle(file);
}

}  // namespace

// The loader passes a non-null reserved pointer when the DLL comes with the process's
// imports, and null for a load at run time.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) RecordLoad(reserved != nullptr);
    return TRUE;
}

extern "C" DWORD WINAPI GetFileVersionInfoSizeW(LPCWSTR, LPDWORD) {
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return 0;
}

extern "C" BOOL WINAPI GetFileVersionInfoW(LPCWSTR, DWORD, DWORD, LPVOID) {
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return FALSE;
}

extern "C" BOOL WINAPI VerQueryValueW(LPCVOID, LPCWSTR, LPVOID*, PUINT) {
    return FALSE;
}
