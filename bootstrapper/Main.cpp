#include <windows.h>

#include <cstdlib>

#include "bootstrapper/HostProbes.h"
#include "bootstrapper/Setup.h"
#include "orb/DllSearch.h"
#include "orb/String.h"
#include "quill/Quill.h"

// Makes the bootstrapper's folder the working directory, runs the setup sequence while the
// log service is active, and ends with the installer's exit code (-1 when an exception
// ended the sequence).
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLineText, int) {
    // The setup runs from folders such as Downloads: nothing it loads at run time may come
    // from beside it (Quill.dll, imported at load time, is the one file of ours it takes).
    RestrictDllSearchToSystemFolder();

    wchar_t modulePath[MAX_PATH] = {};
    wchar_t drive[MAX_PATH] = {};
    wchar_t directory[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, modulePath, MAX_PATH);
    _wsplitpath(modulePath, drive, directory, nullptr, nullptr);
    _wmakepath(modulePath, drive, directory, nullptr, nullptr);
    // Every child inherits this folder, so the installer finds the package by its bare name.
    SetCurrentDirectoryW(modulePath);

    orb::String commandLine(commandLineText);
    orb::String logName(L"TaviSetupLog");
    int exitCode = -1;
    bool installModeEntered = false;
    bool sequenceFailed = false;

    try {
        installModeEntered = EnterTerminalInstallMode();
        StartLogger(logName.Text(), 1);
        RunSetup(commandLine.Text(), &exitCode);
    } catch (...) {
        sequenceFailed = true;
    }

    if (installModeEntered) {
        // The server must go back to execute mode whatever happened; a failure here must
        // not turn the installer's result into a crash.
        try {
            LeaveTerminalInstallMode();
        } catch (...) {
        }
    }
    // After an exception the service is stopped twice in a row; the second call does nothing.
    if (sequenceFailed) StopLogger();
    StopLogger();
    return exitCode;
}
