#pragma once

#include "orb/RegKey.h"
#include "orb/String.h"

// Writes "Checking: %s" and opens or creates HKLM\keyPath into key with RegKeySecurity.
bool OpenSweepKey(const wchar_t* keyPath, orb::RegKey& key);
// True when text is present (has a buffer) and contains one of the product display names.
bool IsProductName(const orb::String& text);
// True when the display version is current for the application version.
bool IsCurrentVersion(const orb::String& appVersion, const orb::String& displayVersion);

// Stage 1: per-machine product registrations; keeps the current one (UsedInstallGuid).
void SweepUserDataProducts(const orb::String& appVersion);
// Stage 2: class registrations of products other than UsedInstallGuid.
void SweepClassesProducts();
// Stages 3 and 4: upgrade-code values other than UsedInstallGuid.
void SweepUpgradeCodes(const wchar_t* keyPath);
