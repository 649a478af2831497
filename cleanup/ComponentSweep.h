#pragma once

#include "orb/String.h"

// Stage 5: component values named by a BadGuidList entry.
void SweepComponents();
// Stage 6: feature keys of the BadGuidList entries.
void SweepFeatures();
// Stages 7 and 8: Uninstall entries of the product other than the current one.
void SweepUninstall(const wchar_t* keyPath, const orb::String& appVersion);
