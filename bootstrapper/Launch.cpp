#include "bootstrapper/Launch.h"

#include <cwchar>

#include "bootstrapper/HostProbes.h"
#include "bootstrapper/Setup.h"
#include "orb/AppProbe.h"

// Stores the folder of the loaded TaviBootLoader.exe, with its trailing backslash; FALSE
// with directory untouched when no module of that name is loaded or its path is unknown.
BOOL GetOwnDirectory(orb::String* directory) {
    HMODULE self = GetModuleHandleW(L"TaviBootLoader.exe");
    if (!self) return FALSE;
    orb::String path;
    if (GetModuleFileNameW(self, path.WritableBuffer(MAX_PATH), MAX_PATH) == 0) return FALSE;
    if (const wchar_t* lastSeparator = std::wcsrchr(path.Text(), L'\\'))
        path.Truncate(static_cast<int>(lastSeparator - path.Text()) + 1);
    *directory = path;
    return TRUE;
}

// Runs the cleanup tool that matches the architecture and waits for it; neither its start
// nor its exit code is acted on.
void RunCleanupTool(orb::String directory) {
    const orb::String command = directory + (IsOS64Bit() ? L"\\Scourwell64.exe" : L"\\Scourwell32.exe");
    DWORD exitCode = 0;
    RunProcess(command, &exitCode);
}

// Runs both runtime installers quietly, x86 first, when the product application is not
// installed; their outcomes are not acted on.
void InstallRuntimesIfNeeded(orb::String directory) {
    orb::String appPath;
    if (FindInstalledApp(appPath)) return;
    DWORD exitCode = 0;
    RunProcess(directory + L"\\vcredist_x86.exe /q", &exitCode);
    RunProcess(directory + L"\\vcredist_x64.exe /q", &exitCode);
}
