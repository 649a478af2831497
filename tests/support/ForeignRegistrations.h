#pragma once

#include <string>

#include "tests/support/SweepRegistry.h"

namespace tavi_test {

// A registry that holds, in every key the sweep stages visit, the product's current and
// stale registrations beside foreign registrations of every kind: other products' names,
// values and subkeys, names of 255 characters, values of odd size and without a
// terminator, REG_DWORD where text is expected, names with characters above U+00FF.

// Packed id of the current registration, kept for the application version 12.0.1.0.
extern const wchar_t kForeignFixtureCurrent[];

// Writes that registry; fatal failures when a write fails.
void WriteForeignFixture();

// Every key and value of that registry, including the other products' upgrade-code keys
// beside the product's own.
std::map<std::wstring, std::string> SnapshotForeignFixture();

// What the sweep removes from that registry: the stale products' keys and values, the
// Wow6432Node Uninstall entry only when the run sweeps that list.
Removals ForeignFixtureRemovals(bool sweepsWow6432Node);

}  // namespace tavi_test
