#include "cleanup/ProductSweep.h"

#include "cleanup/log/CLOGFile.h"

// Placeholder bodies: the sweep stages are filled in by the registry sweep work.

bool OpenSweepKey(const wchar_t* keyPath, orb::RegKey&) {
    CLOGFile::Instance().Log(L"Checking: %s", keyPath);
    return false;
}

bool IsProductName(const orb::String&) { return false; }

bool IsCurrentVersion(const orb::String&, const orb::String&) { return false; }

void SweepUserDataProducts(const orb::String&) {
    orb::RegKey key;
    OpenSweepKey(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Products", key);
}

void SweepClassesProducts() {
    orb::RegKey key;
    OpenSweepKey(L"SOFTWARE\\Classes\\Installer\\Products", key);
}

void SweepUpgradeCodes(const wchar_t* keyPath) {
    orb::RegKey key;
    OpenSweepKey(keyPath, key);
}
