#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace tavi_test {

// A child run under a debugger: its exit code and every string it sent to the debugger
// output, in order.
struct DebuggedRun {
    bool started = false;
    DWORD error = 0;      // GetLastError when it did not start
    DWORD exitCode = 0;
    std::vector<std::wstring> debugStrings;
};

// Starts applicationName with exactly commandLine in workingDir as a debuggee of this
// thread (DEBUG_ONLY_THIS_PROCESS: its own children run undebugged), collects its debugger
// output and waits for it to end; after timeoutMs it is terminated (exit code 0xDEAD).
DebuggedRun RunUnderDebugger(const wchar_t* applicationName, const std::wstring& commandLine,
                             const wchar_t* workingDir, DWORD timeoutMs = 120000);

}  // namespace tavi_test
