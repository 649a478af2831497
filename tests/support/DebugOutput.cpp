#include "tests/support/DebugOutput.h"

#include "tests/support/TestSupport.h"

namespace tavi_test {

namespace {

// The text of one OUTPUT_DEBUG_STRING_EVENT, read from the debuggee; the length it gives
// counts the terminator.
std::wstring ReadDebugString(HANDLE process, const OUTPUT_DEBUG_STRING_INFO& info) {
    const size_t units = info.nDebugStringLength;
    if (info.fUnicode) {
        std::wstring text(units, L'\0');
        SIZE_T read = 0;
        ReadProcessMemory(process, info.lpDebugStringData, &text[0], units * sizeof(wchar_t), &read);
        text.resize(read / sizeof(wchar_t));
        return text.substr(0, text.find(L'\0'));
    }
    std::string text(units, '\0');
    SIZE_T read = 0;
    ReadProcessMemory(process, info.lpDebugStringData, &text[0], units, &read);
    text.resize(read);
    return Widen(text.substr(0, text.find('\0')));
}

}  // namespace

DebuggedRun RunUnderDebugger(const wchar_t* applicationName, const std::wstring& commandLine,
                             const wchar_t* workingDir, DWORD timeoutMs) {
    DebuggedRun run;
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(applicationName, line.data(), nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS, nullptr,
                        workingDir, &startup, &info)) {
        run.error = GetLastError();
        return run;
    }
    run.started = true;
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    bool terminated = false;
    for (;;) {
        DEBUG_EVENT event{};
        if (!WaitForDebugEvent(&event, 200)) {
            if (!terminated && GetTickCount64() > deadline) {
                TerminateProcess(info.hProcess, 0xDEAD);
                terminated = true;
            }
            continue;
        }
        DWORD continueStatus = DBG_CONTINUE;
        switch (event.dwDebugEventCode) {
        case OUTPUT_DEBUG_STRING_EVENT:
            run.debugStrings.push_back(ReadDebugString(info.hProcess, event.u.DebugString));
            break;
        case EXCEPTION_DEBUG_EVENT:
            // The loader's breakpoint is the debugger's to swallow; anything else goes back
            // to the program as if no debugger were there.
            if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT)
                continueStatus = DBG_EXCEPTION_NOT_HANDLED;
            break;
        case CREATE_PROCESS_DEBUG_EVENT:
            if (event.u.CreateProcessInfo.hFile) CloseHandle(event.u.CreateProcessInfo.hFile);
            break;
        case LOAD_DLL_DEBUG_EVENT:
            if (event.u.LoadDll.hFile) CloseHandle(event.u.LoadDll.hFile);
            break;
        default:
            break;
        }
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, continueStatus);
        if (event.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT) {
            run.exitCode = event.u.ExitProcess.dwExitCode;
            break;
        }
    }
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return run;
}

}  // namespace tavi_test
