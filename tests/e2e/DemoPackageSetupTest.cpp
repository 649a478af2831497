// The demo product installed and removed by Wine's msiexec through the x64 bootstrapper,
// started by full path from another working directory, as a user would start it.

#include <windows.h>
#include <msi.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/support/TestSupport.h"

namespace {

const wchar_t kMedia[] = L"C:\\TaviMedia";
const wchar_t kElsewhere[] = L"C:\\users\\Public";
const wchar_t kApp[] = L"C:\\Program Files\\Vardo Corporation\\Vardo Tavi\\TaviApp.exe";

// Whether a file or folder is at path.
bool Exists(const wchar_t* path) {
    return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

// The version Windows Installer has registered for the demo product, or a marker text.
std::wstring InstalledVersion() {
    wchar_t version[64] = L"";
    DWORD size = ARRAYSIZE(version);
    if (MsiGetProductInfoW(TAVI_PRODUCT_CODE, INSTALLPROPERTY_VERSIONSTRING, version, &size) !=
        ERROR_SUCCESS)
        return L"<not registered>";
    return version;
}

// A media folder as the product's release lays it out: the x64 programs, the package and
// stand-in runtime installers.
void LayOutMedia() {
    ASSERT_TRUE(tavi_test::CreateFolders(kMedia));
    const std::wstring media = kMedia;
    for (const wchar_t* name :
         {L"TaviBootLoader.exe", L"Quill.dll", L"Scourwell32.exe", L"Scourwell64.exe"})
        ASSERT_TRUE(tavi_test::CopyOneFile(std::wstring(tavi_test::MediaX64Dir()) + L"\\" + name,
                                           media + L"\\" + name))
            << tavi_test::Narrow(name);
    for (const wchar_t* name : {L"Vardo(R) Tavi.msi", L"vcredist_x86.exe", L"vcredist_x64.exe"})
        ASSERT_TRUE(tavi_test::CopyOneFile(std::wstring(TAVI_WIN_PACKAGES) + L"\\" + name,
                                           media + L"\\" + name))
            << tavi_test::Narrow(name);
}

}  // namespace

TEST(DemoPackageSetup, SilentSetupInstallsTheProductAndUninstallRemovesIt) {
    LayOutMedia();
    ASSERT_FALSE(Exists(kApp));
    ASSERT_EQ(INSTALLSTATE_UNKNOWN, MsiQueryProductStateW(TAVI_PRODUCT_CODE));

    const tavi_test::ProcessResult install = tavi_test::RunProcess(
        nullptr, std::wstring(kMedia) + L"\\TaviBootLoader.exe /s /v/qn", kElsewhere);
    ASSERT_TRUE(install.started) << "error " << install.error;
    EXPECT_EQ(0u, install.exitCode);
    EXPECT_TRUE(Exists(kApp));
    EXPECT_EQ(INSTALLSTATE_DEFAULT, MsiQueryProductStateW(TAVI_PRODUCT_CODE));
    EXPECT_EQ(TAVI_PRODUCT_VERSION, InstalledVersion());

    const tavi_test::ProcessResult uninstall = tavi_test::RunProcess(
        nullptr, std::wstring(kMedia) + L"\\TaviBootLoader.exe /x /v/qn", kElsewhere);
    ASSERT_TRUE(uninstall.started) << "error " << uninstall.error;
    EXPECT_EQ(0u, uninstall.exitCode);
    EXPECT_FALSE(Exists(kApp));
    EXPECT_EQ(INSTALLSTATE_UNKNOWN, MsiQueryProductStateW(TAVI_PRODUCT_CODE));
}
