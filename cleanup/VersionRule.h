#pragma once

#include "orb/String.h"

// The application version whose installation is treated like a missing one.
extern const wchar_t FullCleanVersion[];

// True when appVersion is FullCleanVersion, ignoring the case of a to z: folder removal
// then spares nothing and the sweep keeps no registration. Later versions that merely
// contain it (11.0.57.0, 21.0.57.0) and an empty version give false.
bool IsFullCleanVersion(const orb::String& appVersion);
