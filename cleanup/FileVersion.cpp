#include "cleanup/FileVersion.h"

#include <windows.h>

namespace {

using GetFileVersionInfoSizeWFn = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
using GetFileVersionInfoWFn = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
using VerQueryValueWFn = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);

// version.dll loaded from the system folder for the life of one call; its three
// functions are null when it or they could not be found.
class VersionLibrary {
public:
    VersionLibrary()
        : module_(LoadFromSystemFolder()),
          getSize(Find<GetFileVersionInfoSizeWFn>("GetFileVersionInfoSizeW")),
          getInfo(Find<GetFileVersionInfoWFn>("GetFileVersionInfoW")),
          queryValue(Find<VerQueryValueWFn>("VerQueryValueW")) {}
    VersionLibrary(const VersionLibrary&) = delete;
    VersionLibrary& operator=(const VersionLibrary&) = delete;
    ~VersionLibrary() {
        if (module_) FreeLibrary(module_);
    }

    bool Loaded() const { return getSize && getInfo && queryValue; }

private:
    // Not a known DLL, and this program runs elevated from folders such as Downloads:
    // only the system folder's copy may be loaded, never one beside the program.
    static HMODULE LoadFromSystemFolder() {
        HMODULE module = LoadLibraryExW(L"version.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (module || GetLastError() != ERROR_INVALID_PARAMETER) return module;
        // A system without the search flags rejects them; its full path is as safe.
        wchar_t path[MAX_PATH];
        const UINT length = GetSystemDirectoryW(path, MAX_PATH);
        if (length == 0 || length + 13 > MAX_PATH) return nullptr;
        lstrcpyW(path + length, L"\\version.dll");
        return LoadLibraryExW(path, nullptr, 0);
    }

    template <typename Function>
    Function Find(const char* name) const {
        if (!module_) return nullptr;
        // Through the one function type GCC takes as generic, so the cast is no warning.
        return reinterpret_cast<Function>(
            reinterpret_cast<void (*)()>(GetProcAddress(module_, name)));
    }

    HMODULE module_;

public:
    const GetFileVersionInfoSizeWFn getSize;
    const GetFileVersionInfoWFn getInfo;
    const VerQueryValueWFn queryValue;
};

}  // namespace

void GetFileVersionText(orb::String path, orb::String& version) {
    version.Clear();
    if (path.Length() == 0) return;
    const VersionLibrary library;
    if (!library.Loaded()) return;

    // A size of 0 (no version resource, no such file) fails the read below.
    const DWORD size = library.getSize(path.Text(), nullptr);
    HANDLE heap = GetProcessHeap();
    void* block = HeapAlloc(heap, 0, size);
    if (!block) return;
    VS_FIXEDFILEINFO* info = nullptr;
    UINT infoLength = 0;
    if (!library.getInfo(path.Text(), 0, size, block) ||
        !library.queryValue(block, L"\\", reinterpret_cast<LPVOID*>(&info), &infoLength)) {
        HeapFree(heap, 0, block);
        return;
    }
    const DWORD major = HIWORD(info->dwFileVersionMS);
    const DWORD minor = LOWORD(info->dwFileVersionMS);
    const DWORD build = HIWORD(info->dwFileVersionLS);
    const DWORD revision = LOWORD(info->dwFileVersionLS);
    HeapFree(heap, 0, block);
    version.Format(L"%ld.%ld.%ld.%ld", major, minor, build, revision);
}
