#include "cleanup/ComponentSweep.h"

#include "cleanup/ProductSweep.h"

// Placeholder bodies: the sweep stages are filled in by the registry sweep work.

void SweepComponents() {
    orb::RegKey key;
    OpenSweepKey(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Components", key);
}

void SweepFeatures() {
    orb::RegKey key;
    OpenSweepKey(L"SOFTWARE\\Classes\\Installer\\Features", key);
}

void SweepUninstall(const wchar_t* keyPath, const orb::String&) {
    orb::RegKey key;
    OpenSweepKey(keyPath, key);
}
