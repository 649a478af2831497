#pragma once

#include <windows.h>

#include "orb/String.h"

// The setup sequence: own folder, cleanup tool, runtime installers, installer command,
// installer run. Stores the installer's exit code through exitCode as its last act.
void RunSetup(const wchar_t* commandLine, int* exitCode);

// Runs the system-folder program that the first word of commandLine names (msiexec,
// change) detached, with commandLine (writable, as CreateProcessW needs) as its exact
// command line, and waits for it; the child's exit code, or 1603 when it cannot be started.
DWORD RunAndWait(wchar_t* commandLine);

// Runs a child with commandLine and waits for it. Returns the result of
// GetExitCodeProcess with the exit code stored through exitCode, or 2 when the child
// cannot be created (exitCode then unwritten).
BOOL RunProcess(orb::String commandLine, DWORD* exitCode);
