#include "bootstrapper/HostProbes.h"

#include <windows.h>

#include "bootstrapper/HostDecisions.h"
#include "bootstrapper/Setup.h"
#include "orb/String.h"
#include "orb/WMI.h"

namespace {

// The product-suite probe of systems up to version 4.
bool ProductSuiteListsTerminalServer() {
    return ProductSuiteContains("Terminal Server");
}

// Asks VerifyVersionInfoA whether the terminal-server suite is installed; the two
// exports are looked up at run time because systems before Windows 2000 lack them.
bool VersionShowsTerminalSuite() {
    using SetConditionMask = ULONGLONG(WINAPI*)(ULONGLONG, DWORD, BYTE);
    using VerifyVersion = BOOL(WINAPI*)(OSVERSIONINFOEXA*, DWORD, DWORDLONG);
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    if (!ntdll) return false;
    // Through void* because the compiler rejects a direct cast between function types.
    const auto setConditionMask = reinterpret_cast<SetConditionMask>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "VerSetConditionMask")));
    if (!setConditionMask) return false;
    const ULONGLONG conditionMask = setConditionMask(0, VER_SUITENAME, VER_AND);
    HMODULE kernel32 = GetModuleHandleA("KERNEL32.DLL");
    if (!kernel32) return false;
    const auto verifyVersion = reinterpret_cast<VerifyVersion>(
        reinterpret_cast<void*>(GetProcAddress(kernel32, "VerifyVersionInfoA")));
    if (!verifyVersion) return false;
    OSVERSIONINFOEXA version{};
    version.dwOSVersionInfoSize = sizeof(version);
    version.wSuiteMask = VER_SUITE_TERMINAL;
    return verifyVersion(&version, VER_SUITENAME, conditionMask) == 1;
}

// Runs commandText through RunAndWait, which starts change.exe of the system folder.
void RunChangeUser(const wchar_t* commandText) {
    orb::String commandLine(commandText);
    RunAndWait(commandLine.Text());
}

}  // namespace

// True for a 64-bit operating system, and whenever WMI cannot say; writes "32Bit OS" or
// "64Bit OS" to the debugger when the query ran.
bool IsOS64Bit() {
    orb::WMI wmi;
    orb::String architecture;
    const HRESULT queried = wmi.Query(L"Win32_OperatingSystem");
    if (SUCCEEDED(queried)) wmi.GetProperty(&architecture, L"OSArchitecture");
    const ArchitectureAnswer answer = DecideArchitecture(queried, architecture);
    if (answer.debuggerText) OutputDebugStringW(answer.debuggerText);
    if (SUCCEEDED(queried)) wmi.Close();
    return answer.is64Bit;
}

// True when the host is a terminal server; every failure on the way means it is not.
bool IsTerminalHost() {
#ifdef TAVI_TEST_FORCE_TERMINAL_SERVER
    // Only test builds define it: the test platform has no terminal server to find.
    constexpr bool kForced = true;
#else
    constexpr bool kForced = false;
#endif
    return kForced || DecideTerminalHost(GetVersion(), ProductSuiteListsTerminalServer, VersionShowsTerminalSuite);
}

// True when HKLM's ProductOptions\ProductSuite list holds entry exactly; a missing key or
// value, another value type or a failed allocation give false.
bool ProductSuiteContains(const char* entry) {
    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\ProductOptions", &key) != ERROR_SUCCESS)
        return false;
    bool found = false;
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(key, "ProductSuite", nullptr, &type, nullptr, &size) == ERROR_SUCCESS && size != 0) {
        // Two zero bytes beyond the value end the list even when the value was stored
        // without its terminators.
        HLOCAL block = LocalAlloc(LMEM_ZEROINIT, size + 2);
        if (block) {
            auto* list = static_cast<char*>(block);
            if (RegQueryValueExA(key, "ProductSuite", nullptr, &type, reinterpret_cast<BYTE*>(list), &size) == ERROR_SUCCESS &&
                type == REG_MULTI_SZ && list[0] != '\0')
                found = SuiteListContains(list, entry);
            LocalFree(block);
        }
    }
    RegCloseKey(key);
    return found;
}

bool EnterTerminalInstallMode() {
    if (!IsTerminalHost()) return false;
    RunChangeUser(L"change user /INSTALL");
    return true;
}

void LeaveTerminalInstallMode() {
    RunChangeUser(L"change user /EXECUTE");
}
