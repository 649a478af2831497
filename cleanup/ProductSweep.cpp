#include "cleanup/ProductSweep.h"

#include <cwchar>

#include "cleanup/GuidState.h"
#include "cleanup/RegKeySecurity.h"
#include "cleanup/log/CLOGFile.h"

namespace {

const wchar_t* const kProductNames[] = {L"Vardo(R) Tavi", L"Vardo(R) Corvane", L"Vardo\u00AE Corvane"};

const wchar_t kUserDataProductsPath[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Products";
const wchar_t kClassesProductsPath[] = L"SOFTWARE\\Classes\\Installer\\Products";

// True when name is covered by the registration that stage 1 kept last.
bool IsUsedInstall(const wchar_t* name) {
    return UsedInstallGuid.Length() != 0 && UsedInstallGuid.Find(name, 0) >= 0;
}

}  // namespace

bool OpenSweepKey(const wchar_t* keyPath, orb::RegKey& key) {
    CLOGFile::Instance().Log(L"Checking: %s", keyPath);
    return OpenSweepSubkey(keyPath, key);
}

bool OpenSweepSubkey(const wchar_t* path, orb::RegKey& key) {
    return RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS,
                           &RegKeySecurity.securityAttributes, key.Receive(), nullptr) == ERROR_SUCCESS;
}

bool IsProductName(const orb::String& text) {
    if (!text.Text()) return false;
    for (const wchar_t* name : kProductNames)
        if (text.Find(name, 0) >= 0) return true;
    return false;
}

bool IsCurrentVersion(const orb::String& appVersion, const orb::String& displayVersion) {
    const int displayLength = displayVersion.Length();
    if (appVersion.Length() == 0 || displayLength == 0) return false;
    // A prefix that ends inside a number part (12.0.1 against 12.0.10.0) is another
    // version, so the display version must end where the application version ends or at
    // one of its dots.
    if (std::wcsncmp(appVersion.Text(), displayVersion.Text(), displayLength) != 0) return false;
    const wchar_t next = appVersion.Text()[displayLength];
    return next == L'\0' || next == L'.';
}

void ReportDeleteResult(LSTATUS result, const wchar_t* parent, const wchar_t* name) {
    if (result == ERROR_SUCCESS) return;
    orb::String path;
    path.Format(L"%s\\%s", parent, name);
    CLOGFile::Instance().Log(L"Delete failed (%lu): %s", static_cast<unsigned long>(result), path.Text());
}

void SweepUserDataProducts(const orb::String& appVersion) {
    orb::RegKey base;
    if (!OpenSweepKey(kUserDataProductsPath, base)) return;
    ForEachSubkeyDownward(base.Handle(), [&](const wchar_t* name) {
        orb::String path;
        path.Format(L"%s\\%s\\InstallProperties", kUserDataProductsPath, name);
        orb::RegKey properties;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.Text(), 0, KEY_ALL_ACCESS, properties.Receive()) != ERROR_SUCCESS)
            return;
        orb::String displayName;
        orb::String displayVersion;
        properties.ReadTextValue(L"DisplayName", displayName);
        properties.ReadTextValue(L"DisplayVersion", displayVersion);
        properties.Close();

        if (!IsProductName(displayName)) return;
        if (IsCurrentVersion(appVersion, displayVersion)) {
            UsedInstallGuid = name;
            CLOGFile::Instance().Log(L"Used TaviInstallGUID: %s\\%s", kUserDataProductsPath, name);
            return;
        }
        AddBadGuid(name);
        CLOGFile::Instance().Log(L"Bad TaviInstallGUID:(D) %s\\%s", kUserDataProductsPath, name);
        ReportDeleteResult(RegDeleteTreeW(base.Handle(), name), kUserDataProductsPath, name);
    });
    base.Close();
}

void SweepClassesProducts() {
    orb::RegKey base;
    if (!OpenSweepKey(kClassesProductsPath, base)) return;
    ForEachSubkeyDownward(base.Handle(), [&](const wchar_t* name) {
        orb::String path;
        path.Format(L"%s\\%s", kClassesProductsPath, name);
        orb::RegKey product;
        if (!OpenSweepSubkey(path.Text(), product)) return;
        orb::String productName;
        product.ReadTextValue(L"ProductName", productName);
        product.Close();

        if (!IsProductName(productName) || IsUsedInstall(name)) return;
        AddBadGuid(name);
        CLOGFile::Instance().Log(L"Bad TaviInstallGUID:(D) %s\\%s", kClassesProductsPath, name);
        ReportDeleteResult(RegDeleteTreeW(base.Handle(), name), kClassesProductsPath, name);
    });
    base.Close();
}

void SweepUpgradeCodes(const wchar_t* keyPath) {
    orb::RegKey base;
    if (!OpenSweepKey(keyPath, base)) return;
    ForEachValueDownward(base.Handle(), [&](const wchar_t* name) {
        if (IsUsedInstall(name)) return;
        AddBadGuid(name);
        CLOGFile::Instance().Log(L"Bad TaviInstallGUID:(D) %s\\%s", keyPath, name);
        ReportDeleteResult(RegDeleteValueW(base.Handle(), name), keyPath, name);
    });
    base.Close();
}
