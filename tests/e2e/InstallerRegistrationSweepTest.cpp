// Real Windows Installer registrations: the product's current package, two stale
// generations under its upgrade code and an unrelated product, installed side by side by
// Wine's msiexec (wixl's packages have no FindRelatedProducts action, so none upgrades
// another), then swept by Scourwell64.exe from the x64 media folder with no log server.

#include <windows.h>
#include <msi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "tests/support/LogCapture.h"
#include "tests/support/RunLog.h"
#include "tests/support/SweepRegistry.h"
#include "tests/support/TestSupport.h"

using tavi_test::kSweepKeyPaths;

namespace {

const wchar_t kMsiexec[] = L"C:\\windows\\system32\\msiexec.exe";
const wchar_t kApp[] = L"C:\\Program Files\\Vardo Corporation\\Vardo Tavi\\TaviApp.exe";
// Installed by the older generation and by the unrelated product alike.
const wchar_t kSharedFile[] = L"C:\\Program Files\\Tessel Works\\Shared\\tessel-shared.txt";

// One test package: its file in the packages folder, its product code and upgrade code,
// and the stage whose Uninstall list holds its entry (8 for an x86 package).
struct Package {
    const wchar_t* file;
    const wchar_t* productCode;
    const wchar_t* upgradeCode;
    int uninstallStage;
};

const wchar_t kUpgradeCode[] = L"{9C50A2E7-D14B-68F3-0A5C-7E92B1D8F403}";
const Package kCorvane = {L"Vardo(R) Corvane.msi", TAVI_CORVANE_PRODUCT_CODE, kUpgradeCode, 8};
const Package kOlderTavi = {L"tavi-10.0.2.0.msi", TAVI_OLDER_PRODUCT_CODE, kUpgradeCode, 7};
const Package kWidget = {L"tessel-widget.msi", TAVI_WIDGET_PRODUCT_CODE, TAVI_WIDGET_UPGRADE_CODE, 7};
const Package kCurrent = {L"Vardo(R) Tavi.msi", TAVI_PRODUCT_CODE, kUpgradeCode, 7};

// The packed form that names Windows Installer's keys and values: the first three groups
// of the GUID reversed, the two digits of each byte of the last two groups swapped.
std::wstring Packed(const std::wstring& guid) {
    const std::wstring digits = guid.substr(1, 8) + guid.substr(10, 4) + guid.substr(15, 4) +
                                guid.substr(20, 4) + guid.substr(25, 12);
    std::wstring packed(digits.rbegin() + 24, digits.rend());
    packed += std::wstring(digits.rbegin() + 20, digits.rbegin() + 24);
    packed += std::wstring(digits.rbegin() + 16, digits.rbegin() + 20);
    for (size_t i = 16; i < 32; i += 2) packed += std::wstring{digits[i + 1], digits[i]};
    return packed;
}

// Runs msiexec with arguments through CreateProcessW and waits for it; success when it
// ended with 0.
testing::AssertionResult Msiexec(const std::wstring& arguments) {
    const tavi_test::ProcessResult run = tavi_test::RunProcess(kMsiexec, L"msiexec " + arguments);
    if (!run.started) return testing::AssertionFailure() << "msiexec did not start: error " << run.error;
    if (run.exitCode != 0) return testing::AssertionFailure() << "msiexec ended with " << run.exitCode;
    return testing::AssertionSuccess();
}

std::wstring Key(int stage, const std::wstring& name) { return std::wstring(kSweepKeyPaths[stage - 1]) + L"\\" + name; }

// A package's registration in the keys the sweep visits, named as a snapshot names them:
// its product keys of stages 1, 2 and 6, its Uninstall entry, its values in its two
// upgrade-code keys and in every component key of before that holds one.
tavi_test::Removals RegistrationOf(const Package& package, const std::map<std::wstring, std::string>& before) {
    const std::wstring id = Packed(package.productCode);
    const std::wstring upgrade = Packed(package.upgradeCode);
    tavi_test::Removals registration;
    registration.keys = {Key(1, id), Key(2, id), Key(6, id), Key(package.uninstallStage, package.productCode)};
    registration.values = {L"SOFTWARE\\Classes\\Installer\\UpgradeCodes\\" + upgrade + L"|" + id,
                           L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UpgradeCodes\\" + upgrade + L"|" + id};
    const std::wstring components = kSweepKeyPaths[4];
    for (const auto& entry : before) {
        const std::wstring& name = entry.first;
        if (name.rfind(components + L"\\", 0) == 0 && name.size() > id.size() &&
            name.compare(name.size() - id.size() - 1, std::wstring::npos, L"|" + id) == 0)
            registration.values.push_back(name);
    }
    return registration;
}


bool Exists(const wchar_t* path) { return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

TEST(InstallerRegistrationSweep, Scourwell64RemovesTheStaleGenerationsAndKeepsTheCurrentInstallation) {
    const Package* const installed[] = {&kCorvane, &kOlderTavi, &kWidget, &kCurrent};
    for (const Package* package : installed) {
        SCOPED_TRACE(tavi_test::Narrow(package->file));
        ASSERT_TRUE(Msiexec(L"/i \"" + std::wstring(TAVI_WIN_PACKAGES) + L"\\" + package->file + L"\" /qn"));
        ASSERT_EQ(INSTALLSTATE_DEFAULT, MsiQueryProductStateW(package->productCode));
    }
    ASSERT_TRUE(Exists(kApp));

    // The whole Windows Installer data of the machine, not only the swept keys.
    const std::vector<std::wstring> roots = {L"SOFTWARE\\Classes\\Installer",
                                             L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer"};
    const auto before = tavi_test::SnapshotSweptKeys(roots);
    tavi_test::Removals stale;
    for (const Package* package : installed) {
        SCOPED_TRACE(tavi_test::Narrow(package->file));
        const tavi_test::Removals registration = RegistrationOf(*package, before);
        // Two upgrade-code values, then at least one component value.
        ASSERT_GT(registration.values.size(), 2u);
        for (const std::wstring& key : registration.keys) ASSERT_TRUE(before.count(key)) << tavi_test::Narrow(key);
        for (const std::wstring& value : registration.values)
            ASSERT_TRUE(before.count(value)) << tavi_test::Narrow(value);
        if (package == &kCorvane || package == &kOlderTavi) {
            stale.keys.insert(stale.keys.end(), registration.keys.begin(), registration.keys.end());
            stale.values.insert(stale.values.end(), registration.values.begin(), registration.values.end());
        }
    }

    tavi_test::DeleteRunLogs();
    const tavi_test::ProcessResult run =
        tavi_test::RunProgram(std::wstring(tavi_test::MediaX64Dir()) + L"\\Scourwell64.exe");
    ASSERT_TRUE(run.started) << "error " << run.error;
    EXPECT_EQ(0u, run.exitCode);

    EXPECT_TRUE(tavi_test::OnlyRemoved(before, tavi_test::SnapshotSweptKeys(roots), stale));

    // Every decision the log records: the current registration used in stages 1 and 7,
    // each stale one's keys and values deleted once in its stage.
    std::vector<std::string> expected = {
        tavi_test::Line(L"Used TaviInstallGUID: ", Key(1, Packed(kCurrent.productCode))),
        tavi_test::Line(L"Used TaviUninstallGUID: ", Key(7, kCurrent.productCode))};
    for (const Package* package : {&kCorvane, &kOlderTavi}) {
        const std::wstring id = Packed(package->productCode);
        for (int stage : {1, 2, 3, 4, 6}) expected.push_back(tavi_test::Line(L"Bad TaviInstallGUID:(D) ", Key(stage, id)));
        for (const std::wstring& value : RegistrationOf(*package, before).values)
            if (value.rfind(kSweepKeyPaths[4], 0) == 0)
                expected.push_back(tavi_test::Line(L"Bad TaviRegKey:(D) ", value.substr(0, value.find(L'|')) + L"\\" + id));
        expected.push_back(tavi_test::Line(L"Bad TaviUninstallGUID:(D) ", Key(package->uninstallStage, package->productCode)));
    }
    std::vector<std::string> decisions;
    const std::vector<std::string> messages = tavi_test::MessagesOf(tavi_test::OnlyRunLogLines());
    for (const std::string& message : messages)
        if (message.rfind("Used ", 0) == 0 || message.rfind("Bad ", 0) == 0 || message.find("Delete failed") == 0)
            decisions.push_back(message);
    std::sort(expected.begin(), expected.end());
    std::sort(decisions.begin(), decisions.end());
    EXPECT_EQ(expected, decisions);
    EXPECT_TRUE(std::find(messages.begin(), messages.end(), "TaviApp.exe version: 12.0.1.0") != messages.end());

    // Windows Installer itself no longer knows the stale generations, and still removes
    // what is left: the current product, then the unrelated one, which was the shared
    // component's last client.
    EXPECT_EQ(INSTALLSTATE_UNKNOWN, MsiQueryProductStateW(kCorvane.productCode));
    EXPECT_EQ(INSTALLSTATE_UNKNOWN, MsiQueryProductStateW(kOlderTavi.productCode));
    EXPECT_TRUE(Msiexec(L"/x " + std::wstring(kCurrent.productCode) + L" /qn"));
    EXPECT_EQ(INSTALLSTATE_UNKNOWN, MsiQueryProductStateW(kCurrent.productCode));
    EXPECT_FALSE(Exists(kApp));
    ASSERT_TRUE(Exists(kSharedFile));
    EXPECT_TRUE(Msiexec(L"/x " + std::wstring(kWidget.productCode) + L" /qn"));
    EXPECT_EQ(INSTALLSTATE_UNKNOWN, MsiQueryProductStateW(kWidget.productCode));
    EXPECT_FALSE(Exists(kSharedFile));
}
