// Starts a copy of itself many times and counts the starts CreateProcess refuses, by
// error code. Measures how often Wine fails to start a process (the test runner's second
// run exists for these). Usage: StartFailures.exe [starts] (default 5000).
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <map>
#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc > 1 && std::wcscmp(argv[1], L"child") == 0) return 0;
    const long starts = argc > 1 ? std::wcstol(argv[1], nullptr, 10) : 5000;
    if (starts <= 0) {
        std::fprintf(stderr, "usage: StartFailures.exe [starts]\n");
        return 2;
    }

    wchar_t self[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        std::fprintf(stderr, "GetModuleFileNameW failed (%lu)\n", GetLastError());
        return 2;
    }
    const std::wstring commandLine = L"\"" + std::wstring(self) + L"\" child";

    std::map<DWORD, long> failures;
    long failed = 0;
    const ULONGLONG begin = GetTickCount64();
    for (long i = 0; i < starts; ++i) {
        std::wstring line = commandLine;
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process{};
        if (!CreateProcessW(self, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
            ++failures[GetLastError()];
            ++failed;
            continue;
        }
        WaitForSingleObject(process.hProcess, INFINITE);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    const double seconds = static_cast<double>(GetTickCount64() - begin) / 1000.0;

    std::printf("starts: %ld in %.1f s, refused: %ld\n", starts, seconds, failed);
    for (const auto& entry : failures) std::printf("  error %lu: %ld\n", entry.first, entry.second);
    return 0;
}
