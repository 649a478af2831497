// The control: a program that loads version.dll by its bare name, as a program without
// the restricted DLL search would, and reports through its exit code whether it could
// read a file version (1) or not (0).
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    HMODULE version = LoadLibraryW(L"version.dll");
    if (!version) return 2;
    using SizeFn = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
    const auto size = reinterpret_cast<SizeFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(version, "GetFileVersionInfoSizeW")));
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    return size && size(L"C:\\windows\\system32\\kernel32.dll", nullptr) ? 1 : 0;
}
