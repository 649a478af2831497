#include "bootstrapper/Setup.h"

#include <cstdio>
#include <cwchar>

#include "bootstrapper/InstallerCommand.h"
#include "bootstrapper/Launch.h"

namespace {

constexpr DWORD kNotStarted = 1603;

// CreateProcessW's limit, terminator included. Windows refuses a longer command line;
// other hosts of the API cut it, which would hand the installer a damaged command.
constexpr std::size_t kLongestCommandLine = 32767;

// Full path of the program in the system folder that the first word of commandLine names
// (that word followed by ".exe"); empty when the system folder cannot be read.
orb::String SystemProgramPath(const wchar_t* commandLine) {
    wchar_t folder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return orb::String();
    const wchar_t* blank = std::wcschr(commandLine, L' ');
    const std::size_t nameLength = blank ? static_cast<std::size_t>(blank - commandLine) : std::wcslen(commandLine);
    orb::String name;
    wchar_t* buffer = name.WritableBuffer(nameLength + 1);
    std::wmemcpy(buffer, commandLine, nameLength);
    buffer[nameLength] = L'\0';
    return orb::String(folder) + L"\\" + name + L".exe";
}

}  // namespace

void RunSetup(const wchar_t* commandLine, int* exitCode) {
    orb::String installerCommand;
    orb::String ownDirectory;

    GetOwnDirectory(&ownDirectory);
    RunCleanupTool(ownDirectory);
    InstallRuntimesIfNeeded(ownDirectory);
    BuildInstallerCommand(commandLine, &installerCommand);
    OutputDebugStringW(installerCommand.Text());
    const DWORD installerExitCode = RunAndWait(installerCommand.Text());

    *exitCode = static_cast<int>(installerExitCode);
}

DWORD RunAndWait(wchar_t* commandLine) {
    DWORD exitCode = kNotStarted;
    if (!commandLine || std::wcslen(commandLine) >= kLongestCommandLine) return exitCode;

    // The program comes from the system folder by full path: the search for a bare name
    // would look in the media folder and the working folder first, where anyone may have
    // placed a program of the same name.
    const orb::String program = SystemProgramPath(commandLine);
    if (program.Length() == 0) return exitCode;

    SECURITY_ATTRIBUTES processAttributes{};
    processAttributes.nLength = sizeof(processAttributes);
    processAttributes.lpSecurityDescriptor = nullptr;
    processAttributes.bInheritHandle = TRUE;
    SECURITY_ATTRIBUTES threadAttributes{};
    threadAttributes.nLength = sizeof(threadAttributes);
    threadAttributes.lpSecurityDescriptor = nullptr;
    threadAttributes.bInheritHandle = FALSE;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};

    if (CreateProcessW(program.Text(), commandLine, &processAttributes, &threadAttributes, FALSE,
                       DETACHED_PROCESS, nullptr, nullptr, &startup, &process)) {
        CloseHandle(process.hThread);
        WaitForSingleObject(process.hProcess, INFINITE);
        GetExitCodeProcess(process.hProcess, &exitCode);
        CloseHandle(process.hProcess);
    }
    return exitCode;
}

BOOL RunProcess(orb::String commandLine, DWORD* exitCode) {
    DWORD childExitCode = 0;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};

    if (!CreateProcessW(nullptr, commandLine.Text(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        // A GUI process normally has no standard output; the line is for a console caller.
        std::printf("CreateProcess failed (%d)\n", static_cast<int>(GetLastError()));
        return 2;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    const BOOL read = GetExitCodeProcess(process.hProcess, &childExitCode);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    *exitCode = childExitCode;
    return read;
}
