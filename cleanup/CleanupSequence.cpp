#include "cleanup/CleanupSequence.h"

#include "cleanup/ComponentSweep.h"
#include "cleanup/FileVersion.h"
#include "cleanup/FolderRemoval.h"
#include "cleanup/ProductSweep.h"
#include "cleanup/RegKeySecurity.h"
#include "cleanup/VersionRule.h"
#include "cleanup/log/CLOGFile.h"
#include "cleanup/log/TraceScope.h"
#include "orb/AppProbe.h"

#ifndef TAVI_SWEEP_WOW6432NODE
#error "TAVI_SWEEP_WOW6432NODE must be 0 (32-bit stage list) or 1 (64-bit stage list)"
#endif

namespace {

const wchar_t kClassesUpgradeCodeKey[] =
    L"SOFTWARE\\Classes\\Installer\\UpgradeCodes\\7E2A05C9B41D3F86A0C5E7291B8D4F30";
const wchar_t kInstallerUpgradeCodeKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UpgradeCodes\\"
    L"7E2A05C9B41D3F86A0C5E7291B8D4F30";
const wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
#if TAVI_SWEEP_WOW6432NODE
const wchar_t kWowUninstallKey[] =
    L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
#endif

// An empty String may have no buffer; the log line then shows an empty text.
const wchar_t* TextOf(const orb::String& text) {
    return text.Text() ? text.Text() : L"";
}

}  // namespace

void TaviPreInstallCleanUp() {
    TraceScope scope(5, L"TaviPreInstallCleanUp()");
    orb::String appPath;
    orb::String appVersion;

    if (FindInstalledApp(appPath)) {
        CLOGFile::Instance().Log(L"TaviApp.exe found: %s", TextOf(appPath));
        GetFileVersionText(appPath, appVersion);
        CLOGFile::Instance().Log(L"TaviApp.exe version: %s", TextOf(appVersion));
    }

    if (IsFullCleanVersion(appVersion)) {
        appVersion.Clear();
        RemoveProductFolders(false);
    } else {
        RemoveProductFolders(true);
    }

    BuildRegKeySecurity();
    // Stage 1 sets UsedInstallGuid for stages 2 to 4; stages 1 to 4 fill BadGuidList for
    // stages 5 and 6.
    SweepUserDataProducts(appVersion);
    SweepClassesProducts();
    SweepUpgradeCodes(kClassesUpgradeCodeKey);
    SweepUpgradeCodes(kInstallerUpgradeCodeKey);
    SweepComponents();
    SweepFeatures();
    SweepUninstall(kUninstallKey, appVersion);
#if TAVI_SWEEP_WOW6432NODE
    SweepUninstall(kWowUninstallKey, appVersion);
#endif
    FreeRegKeySecurity();
}
