// The demo product installed and removed by Wine's msiexec through the x64 bootstrapper,
// started by full path from another working directory, as a user would start it.

#include <windows.h>
#include <msi.h>

#include <gtest/gtest.h>

#include "tests/e2e/SetupMedia.h"

using namespace tavi_test;

TEST(DemoPackageSetup, SilentSetupInstallsTheProductAndUninstallRemovesIt) {
    ASSERT_NO_FATAL_FAILURE(LayOutMedia());
    ASSERT_FALSE(PathExists(kInstalledApp));
    ASSERT_EQ(INSTALLSTATE_UNKNOWN, MsiQueryProductStateW(TAVI_PRODUCT_CODE));

    const ProcessResult install = RunSetupFrom(kSetupMedia, L"/s /v/qn");
    ASSERT_TRUE(install.started) << "error " << install.error;
    EXPECT_EQ(0u, install.exitCode);
    EXPECT_TRUE(PathExists(kInstalledApp));
    EXPECT_EQ(INSTALLSTATE_DEFAULT, MsiQueryProductStateW(TAVI_PRODUCT_CODE));
    EXPECT_EQ(TAVI_PRODUCT_VERSION, InstalledVersion(TAVI_PRODUCT_CODE));

    const ProcessResult uninstall = RunSetupFrom(kSetupMedia, L"/x /v/qn");
    ASSERT_TRUE(uninstall.started) << "error " << uninstall.error;
    EXPECT_EQ(0u, uninstall.exitCode);
    EXPECT_FALSE(PathExists(kInstalledApp));
    EXPECT_EQ(INSTALLSTATE_UNKNOWN, MsiQueryProductStateW(TAVI_PRODUCT_CODE));
}
