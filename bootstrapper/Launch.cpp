// The own-directory, cleanup-tool and runtime steps are filled in by the launch work.
#include "bootstrapper/Launch.h"

BOOL GetOwnDirectory(orb::String*) { return FALSE; }

void RunCleanupTool(orb::String) {}

void InstallRuntimesIfNeeded(orb::String) {}
