#include "bootstrapper/HostDecisions.h"

ArchitectureAnswer DecideArchitecture(HRESULT queryResult, const orb::String& architecture) {
    if (FAILED(queryResult)) return {true, nullptr};
    if (architecture.Find(L"32", 0) == 0) return {false, L"32Bit OS"};
    return {true, L"64Bit OS"};
}

bool DecideTerminalHost(DWORD version, bool (*suiteListed)(), bool (*suiteVerified)()) {
    if (version & 0x80000000) return false;
    if (LOBYTE(LOWORD(version)) <= 4) return suiteListed();
    return suiteVerified();
}

bool SuiteListContains(const char* list, const char* entry) {
    for (const char* item = list; *item; item += lstrlenA(item) + 1) {
        if (lstrcmpA(item, entry) == 0) return true;
    }
    return false;
}
