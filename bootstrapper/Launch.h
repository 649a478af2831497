#pragma once
#include <windows.h>
#include "orb/String.h"
BOOL GetOwnDirectory(orb::String* directory);
void RunCleanupTool(orb::String directory);
void InstallRuntimesIfNeeded(orb::String directory);
