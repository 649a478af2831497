#pragma once

#include "orb/String.h"

// Stage 5: component values whose names contain a BadGuidList entry.
void SweepComponents();
// Stage 6: feature keys of the BadGuidList entries.
void SweepFeatures();
// Stages 7 and 8: Uninstall entries of the product other than the current one.
void SweepUninstall(const wchar_t* keyPath, const orb::String& appVersion);

// What the Uninstall stages do with one entry: leave it without a line, keep it with a
// "Used" line, or delete it with a "Bad" line.
enum class UninstallVerdict { NotProduct, Used, Bad };
// Judges the Uninstall entry keyName by its "DisplayName" and "DisplayVersion" texts.
UninstallVerdict JudgeUninstallEntry(const orb::String& appVersion, const wchar_t* keyName,
                                     const orb::String& displayName, const orb::String& displayVersion);
