#pragma once

#include <windows.h>

#include "orb/RegKey.h"
#include "orb/String.h"

// Wide characters of the buffer that receives an enumerated subkey or value name; longer
// names end the pass that meets them.
constexpr DWORD kSweepNameLength = 260;

// Writes "Checking: %s" and opens or creates HKLM\keyPath into key with RegKeySecurity;
// false leaves key empty.
bool OpenSweepKey(const wchar_t* keyPath, orb::RegKey& key);
// True when text is present (has a buffer) and contains one of the product display names.
bool IsProductName(const orb::String& text);
// True when appVersion is not empty and equals the non-empty display version or begins
// with it followed directly by ".".
bool IsCurrentVersion(const orb::String& appVersion, const orb::String& displayVersion);
// Opens or creates HKLM\path into key as the stages open their subkeys; false leaves key
// empty.
bool OpenSweepSubkey(const wchar_t* path, orb::RegKey& key);
// Follows a deletion call whose announcing line named parent\name: writes
// "Delete failed (%lu): %s" when result is not success.
void ReportDeleteResult(LSTATUS result, const wchar_t* parent, const wchar_t* name);

// Calls visit(name) for each subkey of key, from the last index down to 0, so that visit
// may delete the subkey in hand; the first enumeration call that fails ends the pass.
template <typename Visit>
void ForEachSubkeyDownward(HKEY key, Visit visit) {
    DWORD count = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        count = 0;
    wchar_t name[kSweepNameLength];
    for (DWORD index = count; index-- > 0;) {
        DWORD length = kSweepNameLength;
        if (RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            return;
        visit(static_cast<const wchar_t*>(name));
    }
}

// Calls visit(name) for each value of key, from the last index down to 0, so that visit
// may delete the value in hand; the first enumeration call that fails ends the pass.
template <typename Visit>
void ForEachValueDownward(HKEY key, Visit visit) {
    DWORD count = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr,
                         nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        count = 0;
    wchar_t name[kSweepNameLength];
    for (DWORD index = count; index-- > 0;) {
        DWORD length = kSweepNameLength;
        if (RegEnumValueW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            return;
        visit(static_cast<const wchar_t*>(name));
    }
}

// Stage 1: per-machine product registrations; keeps the current ones (the last kept
// becomes UsedInstallGuid) and deletes every other product registration.
void SweepUserDataProducts(const orb::String& appVersion);
// Stage 2: class registrations of the product other than UsedInstallGuid.
void SweepClassesProducts();
// Stages 3 and 4: upgrade-code values other than UsedInstallGuid.
void SweepUpgradeCodes(const wchar_t* keyPath);
