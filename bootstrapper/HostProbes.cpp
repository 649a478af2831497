// The host probes and the terminal-server steps are filled in by the launch work.
#include "bootstrapper/HostProbes.h"

bool IsOS64Bit() { return true; }

bool IsTerminalHost() { return false; }

bool ProductSuiteContains(const char*) { return false; }

bool EnterTerminalInstallMode() { return false; }

void LeaveTerminalInstallMode() {}
