#pragma once

#include "orb/String.h"

// The four fixed paths of the product application, probed in this order.
extern const wchar_t* const AppCandidatePaths[4];

// True when FindFirstFileW matches path (a file, a folder or a wildcard match).
bool FileExists(const wchar_t* path);

// True with the first existing candidate stored in path; false with path set to an
// empty text (a buffer holding only the terminator).
bool FindInstalledApp(orb::String& path);
