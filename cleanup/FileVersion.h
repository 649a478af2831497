#pragma once

#include "orb/String.h"

// Sets version to the file version of path as "major.minor.build.revision", or to an
// empty text when it cannot be read. Writes no log line.
void GetFileVersionText(orb::String path, orb::String& version);
