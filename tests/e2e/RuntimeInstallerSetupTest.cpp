// The runtime installers around real setups: recording stand-ins in place of
// vcredist_x86.exe and vcredist_x64.exe beside the real bootstrapper, log service, cleanup
// tool and demo package, installed by Wine's msiexec. The first setup finds no product
// application and runs both; the second finds the installed TaviApp.exe and runs neither.

#include <windows.h>
#include <msi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/e2e/SetupMedia.h"
#include "tests/support/StandInRecord.h"

using namespace tavi_test;

namespace {

const std::wstring kRecord = L"C:\\users\\Public\\runtimes.txt";

}  // namespace

TEST(RuntimeInstallerSetup, BothRunBeforeTheFirstInstallAndNeitherOnceTheApplicationIsInstalled) {
    ASSERT_NO_FATAL_FAILURE(LayOutMedia());
    const std::wstring media = kSetupMedia;
    for (const wchar_t* name : {L"vcredist_x86.exe", L"vcredist_x64.exe"})
        ASSERT_TRUE(InstallStandIn(media + L"\\" + name, 0)) << Narrow(name);
    ASSERT_TRUE(SetEnvironmentVariableW(L"TAVI_STANDIN_RECORD", kRecord.c_str()));
    ASSERT_FALSE(PathExists(kInstalledApp));

    const ProcessResult first = RunSetupFrom(media, L"/s /v/qn");

    ASSERT_TRUE(first.started) << "error " << first.error;
    EXPECT_EQ(0u, first.exitCode);
    const std::vector<RunRecord> records = ReadRunRecords(kRecord);
    ASSERT_EQ(2u, records.size());
    EXPECT_EQ(media + L"\\\\vcredist_x86.exe /q", records[0].text);
    EXPECT_EQ(media + L"\\\\vcredist_x64.exe /q", records[1].text);
    EXPECT_TRUE(SamePath(media + L"\\vcredist_x86.exe", records[0].module)) << Narrow(records[0].module);
    EXPECT_TRUE(SamePath(media + L"\\vcredist_x64.exe", records[1].module)) << Narrow(records[1].module);
    ASSERT_TRUE(PathExists(kInstalledApp));
    ASSERT_EQ(INSTALLSTATE_DEFAULT, MsiQueryProductStateW(TAVI_PRODUCT_CODE));

    ASSERT_TRUE(DeleteFileW(kRecord.c_str()));
    const ProcessResult second = RunSetupFrom(media, L"/s /v/qn");

    ASSERT_TRUE(second.started) << "error " << second.error;
    EXPECT_EQ(0u, second.exitCode);
    EXPECT_TRUE(ReadRunRecords(kRecord).empty()) << Narrow(ReadRunRecords(kRecord).front().text);
    EXPECT_EQ(INSTALLSTATE_DEFAULT, MsiQueryProductStateW(TAVI_PRODUCT_CODE));
}
