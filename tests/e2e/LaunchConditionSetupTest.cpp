// A product package whose launch condition fails, run by Wine's msiexec through the x64
// bootstrapper: the installer's failure code comes out of the bootstrapper unchanged.

#include <windows.h>
#include <msi.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/SetupMedia.h"

using namespace tavi_test;

namespace {

const wchar_t kBlockedMedia[] = L"C:\\BlockedMedia";
const wchar_t kBlockedFolder[] = L"C:\\Program Files\\Vardo Corporation\\Vardo Tavi Blocked";
const wchar_t kInstallerLog[] = L"C:\\users\\Public\\installer.log";

}  // namespace

TEST(LaunchConditionSetup, TheInstallersFailureCodeIsTheBootstrappersExitCode) {
    ASSERT_NO_FATAL_FAILURE(LayOutMedia(kBlockedMedia, TAVI_WIN_LAUNCH_CONDITION_PACKAGE));

    // The code Windows Installer itself gives for this package, started directly.
    const std::wstring installer = SystemDir() + L"\\msiexec.exe";
    const ProcessResult direct = RunProcess(
        installer.c_str(), L"msiexec /I \"" + std::wstring(kBlockedMedia) + L"\\Vardo(R) Tavi.msi\" /qn",
        kSetupElsewhere);
    ASSERT_TRUE(direct.started) << "error " << direct.error;
    ASSERT_EQ(1603u, direct.exitCode);

    // The installer's own log shows that it ran and stopped at its launch conditions, which a
    // bootstrapper that failed to start it (also 1603) would not leave behind.
    const ProcessResult setup = RunSetupFrom(kBlockedMedia, std::wstring(L"/s /v/qn /v/l*v /v") + kInstallerLog);

    ASSERT_TRUE(setup.started) << "error " << setup.error;
    EXPECT_EQ(direct.exitCode, setup.exitCode);
    const std::string log = ReadFileBytes(kInstallerLog);
    EXPECT_NE(std::string::npos, log.find("LaunchConditions")) << log;
    EXPECT_EQ(std::string::npos, log.find("InstallFiles")) << log;
    EXPECT_EQ(INSTALLSTATE_UNKNOWN, MsiQueryProductStateW(TAVI_LAUNCH_CONDITION_PRODUCT_CODE));
    EXPECT_FALSE(PathExists(kBlockedFolder));
}
