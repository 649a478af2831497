// The shipping 32-bit bootstrapper and log service, run silently as a user starts them:
// by full path from another working directory, on a machine that holds a stale product
// generation. They must install the product after the 64-bit cleanup tool has swept the
// stale generation, and remove the product again with /x.

#include <windows.h>
#include <msi.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/i386/I386Support.h"
#include "tests/support/TestSupport.h"

using tavi_i386::ChildRun;
using tavi_i386::Quoted;
using tavi_i386::Registration;

namespace {

const wchar_t kMedia[] = L"C:\\Tavi Media";
const wchar_t kElsewhere[] = L"C:\\users\\Public";
// Where the product package puts the product application.
const wchar_t kApp[] = L"C:\\Program Files\\Vardo Corporation\\Vardo Tavi\\TaviApp.exe";
// The stale generation's program folder, which its package fills.
const wchar_t kStaleFolder[] = L"C:\\Program Files (x86)\\Vardo Corporation\\Vardo Corvane";
const wchar_t kUpgradeCodes[] = L"7E2A05C9B41D3F86A0C5E7291B8D4F30";

// Whether a file or folder is at path.
bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A file of the build tree's package folder, as Wine sees it.
std::wstring PackagePath(const wchar_t* name) {
    return std::wstring(TAVI_WIN_PACKAGES) + L"\\" + name;
}

// Where Windows Installer registers the stale x86 package that the fixture installs, as
// the 64-bit cleanup tool sees the registry.
std::vector<Registration> StaleRegistrations(const std::wstring& code) {
    const std::wstring packed = tavi_i386::PackedGuid(code);
    const std::wstring installer = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer";
    return {
        {installer + L"\\UserData\\S-1-5-18\\Products\\" + packed, L""},
        {L"SOFTWARE\\Classes\\Installer\\Products\\" + packed, L""},
        {L"SOFTWARE\\Classes\\Installer\\Features\\" + packed, L""},
        {L"SOFTWARE\\Classes\\Installer\\UpgradeCodes\\" + std::wstring(kUpgradeCodes), packed},
        {installer + L"\\UpgradeCodes\\" + kUpgradeCodes, packed},
        {L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + code, L""},
    };
}

// A media folder laid out as the product's release does, on a prefix where the stale
// generation's package is installed.
class ShippingSetup : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tavi_test::CreateFolders(kMedia));
        const std::wstring media = kMedia;
        for (const wchar_t* name :
             {L"TaviBootLoader.exe", L"Quill.dll", L"Scourwell32.exe", L"Scourwell64.exe"})
            ASSERT_TRUE(tavi_test::CopyOneFile(std::wstring(tavi_test::MediaDir()) + L"\\" + name,
                                               media + L"\\" + name))
                << tavi_test::Narrow(name) << " is missing from build/media: build the win32 tree first";
        for (const wchar_t* name : {L"Vardo(R) Tavi.msi", L"vcredist_x86.exe", L"vcredist_x64.exe"})
            ASSERT_TRUE(tavi_test::CopyOneFile(PackagePath(name), media + L"\\" + name))
                << tavi_test::Narrow(name);

        product_ = tavi_i386::PackageProductCode(PackagePath(L"Vardo(R) Tavi.msi"));
        stale_ = tavi_i386::PackageProductCode(PackagePath(L"Vardo(R) Corvane.msi"));
        ASSERT_EQ(38u, product_.size());
        ASSERT_EQ(38u, stale_.size());
        ASSERT_EQ(0u, tavi_i386::InstallPackage(PackagePath(L"Vardo(R) Corvane.msi")));
        for (const Registration& registration : StaleRegistrations(stale_))
            ASSERT_TRUE(tavi_i386::IsRegistered(registration, KEY_WOW64_64KEY))
                << "the stale package did not register " << tavi_i386::Describe(registration);
        ASSERT_TRUE(Exists(kStaleFolder));
        ASSERT_FALSE(Exists(kApp));
    }

    // Runs the media folder's bootstrapper by its full path from another working directory.
    ChildRun RunBootLoader(const wchar_t* arguments) {
        return tavi_i386::RunToEnd(Quoted(std::wstring(kMedia) + L"\\TaviBootLoader.exe") + L" " +
                                       arguments,
                                   kElsewhere);
    }

    std::wstring product_;
    std::wstring stale_;
};

TEST_F(ShippingSetup, SilentInstallSweepsTheStaleGenerationAndUninstallRemovesTheProduct) {
    const ChildRun install = RunBootLoader(L"/s /v/qn");
    ASSERT_TRUE(install.started) << "error " << install.error;
    ASSERT_TRUE(install.ended) << "the bootstrapper did not end";
    EXPECT_TRUE(install.is32Bit) << "the shipping bootstrapper is not a 32-bit program";
    EXPECT_EQ(0u, install.exitCode) << tavi_i386::DescribeExitCode(install.exitCode);
    EXPECT_EQ(INSTALLSTATE_DEFAULT, MsiQueryProductStateW(product_.c_str()));
    EXPECT_TRUE(Exists(kApp));

    EXPECT_EQ(INSTALLSTATE_UNKNOWN, MsiQueryProductStateW(stale_.c_str()));
    for (const Registration& registration : StaleRegistrations(stale_))
        EXPECT_FALSE(tavi_i386::IsRegistered(registration, KEY_WOW64_64KEY))
            << "left behind: " << tavi_i386::Describe(registration);
    EXPECT_FALSE(Exists(kStaleFolder));

    // The 64-bit cleanup tool's lines reach the 32-bit log service through its pipe, from
    // the first to the closing one; the Wow6432Node stage shows that the 64-bit build ran.
    const std::string setupLog =
        tavi_test::ReadFileBytes(tavi_i386::TempDir() + L"\\TaviSetupLog.log");
    const std::string packedStale = tavi_test::Narrow(tavi_i386::PackedGuid(stale_));
    for (const std::string& line : {
             std::string(">>[TaviPreInstallCleanUp()]"),
             std::string("Checking: SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall"),
             "Bad TaviInstallGUID:(D) SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData"
             "\\S-1-5-18\\Products\\" + packedStale,
             "Bad TaviUninstallGUID:(D) SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion"
             "\\Uninstall\\" + tavi_test::Narrow(stale_),
             std::string("<<[TaviPreInstallCleanUp()]"),
             std::string("LogClient finished - PID:0x"),
         })
        EXPECT_NE(std::string::npos, setupLog.find(line)) << "not in the setup log: " << line;

    const ChildRun uninstall = RunBootLoader(L"/x /v/qn");
    ASSERT_TRUE(uninstall.started) << "error " << uninstall.error;
    ASSERT_TRUE(uninstall.ended) << "the bootstrapper did not end";
    EXPECT_EQ(0u, uninstall.exitCode) << tavi_i386::DescribeExitCode(uninstall.exitCode);
    EXPECT_EQ(INSTALLSTATE_UNKNOWN, MsiQueryProductStateW(product_.c_str()));
    EXPECT_FALSE(Exists(kApp));
}

}  // namespace
