#pragma once
bool IsOS64Bit();
bool IsTerminalHost();
bool ProductSuiteContains(const char* entry);
// Runs "change user /INSTALL" on a terminal server; true when it did.
bool EnterTerminalInstallMode();
// Runs "change user /EXECUTE" (after the installer, when EnterTerminalInstallMode ran it).
void LeaveTerminalInstallMode();
