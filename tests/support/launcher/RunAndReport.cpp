// RunAndReport WORKING_DIR COMMAND_LINE
// Starts COMMAND_LINE exactly as given, in WORKING_DIR, as its debugger; prints every
// string the program sends to the debugger output, then the program's exit code as
// GetExitCodeProcess reads it (all 32 bits, which the Linux side of Wine cannot see).
// Exits 0 once the program has run, 2 when it could not be started.

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// The text of an OUTPUT_DEBUG_STRING_EVENT, read from the debugged process.
std::string ReadDebugString(HANDLE process, const OUTPUT_DEBUG_STRING_INFO& info) {
    std::vector<char> bytes(info.nDebugStringLength * (info.fUnicode ? 2 : 1));
    SIZE_T read = 0;
    if (bytes.empty() ||
        !ReadProcessMemory(process, info.lpDebugStringData, bytes.data(), bytes.size(), &read))
        return std::string();
    if (!info.fUnicode) return std::string(bytes.data(), strnlen(bytes.data(), read));
    const wchar_t* wide = reinterpret_cast<const wchar_t*>(bytes.data());
    const int length = static_cast<int>(wcsnlen(wide, read / 2));
    std::string text(WideCharToMultiByte(CP_UTF8, 0, wide, length, nullptr, 0, nullptr, nullptr), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, length, text.data(), static_cast<int>(text.size()),
                        nullptr, nullptr);
    return text;
}

// Serves the debug events of the process until it ends.
void FollowUntilExit(HANDLE process) {
    bool initialBreakpointSeen = false;
    for (;;) {
        DEBUG_EVENT event;
        if (!WaitForDebugEvent(&event, INFINITE)) return;
        DWORD continuation = DBG_CONTINUE;
        switch (event.dwDebugEventCode) {
        case CREATE_PROCESS_DEBUG_EVENT:
            if (event.u.CreateProcessInfo.hFile) CloseHandle(event.u.CreateProcessInfo.hFile);
            break;
        case LOAD_DLL_DEBUG_EVENT:
            if (event.u.LoadDll.hFile) CloseHandle(event.u.LoadDll.hFile);
            break;
        case OUTPUT_DEBUG_STRING_EVENT: {
            std::string text = ReadDebugString(process, event.u.DebugString);
            while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
            std::printf("debugger output: %s\n", text.c_str());
            std::fflush(stdout);
            break;
        }
        case EXCEPTION_DEBUG_EVENT:
            // The loader's breakpoint is ours to swallow; every other exception goes back
            // to the program, which handles it as it would without a debugger.
            if (!initialBreakpointSeen &&
                event.u.Exception.ExceptionRecord.ExceptionCode == EXCEPTION_BREAKPOINT) {
                initialBreakpointSeen = true;
            } else {
                continuation = DBG_EXCEPTION_NOT_HANDLED;
            }
            break;
        default:
            break;
        }
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, continuation);
        if (event.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT) return;
    }
}

}  // namespace

int wmain() {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments || count != 3) {
        std::fprintf(stderr, "usage: RunAndReport WORKING_DIR COMMAND_LINE\n");
        return 2;
    }
    std::wstring commandLine = arguments[2];
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE,
                        DEBUG_ONLY_THIS_PROCESS, nullptr, arguments[1], &startup, &info)) {
        std::fprintf(stderr, "could not start the program: error %lu\n", GetLastError());
        return 2;
    }
    CloseHandle(info.hThread);
    FollowUntilExit(info.hProcess);
    WaitForSingleObject(info.hProcess, INFINITE);
    DWORD exitCode = 0;
    GetExitCodeProcess(info.hProcess, &exitCode);
    CloseHandle(info.hProcess);
    std::printf("exit code: %lu (%ld)\n", exitCode, static_cast<long>(exitCode));
    return 0;
}
