#pragma once

#include <vector>

#include "orb/String.h"

// Product ids deleted so far by the product stages, in the order they were added; the
// component and feature stages remove what belonged to them. Grows as needed.
extern std::vector<orb::String> BadGuidList;
// The id of the registration that the first product stage kept last; empty at start.
extern orb::String UsedInstallGuid;
// The product's own GUID; never changed.
extern const orb::String ProductGuid;

// True when some listed id occurs within candidate, ignoring the case of A to Z; an empty
// candidate is never matched.
bool IsGuidListed(const wchar_t* candidate);

// Appends candidate unless it is empty or IsGuidListed; true when it was appended.
bool AddBadGuid(const wchar_t* candidate);
