// Usage: runtimer COUNT COMMAND LINE...
// Runs the command line (everything after COUNT, exactly as given) COUNT times, one after
// the other, and prints "min <ms> median <ms> exit <code>" measured inside Windows.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <vector>

namespace {

// The text after the first blank-separated word of line (quotes group a word).
const wchar_t* SkipWord(const wchar_t* line) {
    bool quoted = false;
    for (; *line && (quoted || (*line != L' ' && *line != L'\t')); ++line)
        if (*line == L'"') quoted = !quoted;
    while (*line == L' ' || *line == L'\t') ++line;
    return line;
}

}  // namespace

int wmain() {
    const wchar_t* afterProgram = SkipWord(GetCommandLineW());
    const int count = _wtoi(afterProgram);
    const wchar_t* command = SkipWord(afterProgram);
    if (count <= 0 || !*command) {
        std::fprintf(stderr, "usage: runtimer COUNT COMMAND LINE...\n");
        return 2;
    }
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> times;
    DWORD exitCode = 0;
    for (int i = 0; i < count; ++i) {
        std::vector<wchar_t> line(command, command + std::wcslen(command) + 1);
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process{};
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
            std::fprintf(stderr, "runtimer: cannot start (error %lu)\n", GetLastError());
            return 2;
        }
        WaitForSingleObject(process.hProcess, INFINITE);
        QueryPerformanceCounter(&end);
        GetExitCodeProcess(process.hProcess, &exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        times.push_back(1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
                        static_cast<double>(frequency.QuadPart));
    }
    std::sort(times.begin(), times.end());
    std::printf("min %.2f median %.2f exit %lu\n", times.front(), times[times.size() / 2], exitCode);
    return 0;
}
