// The shipping 32-bit cleanup tool, run once on its own (no log service holds the pipe)
// where stale product registrations are left: it sweeps stages 1 to 7, never the
// Wow6432Node Uninstall list, writes a complete log of its own and ends with 0.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "tests/i386/I386Support.h"
#include "tests/support/SweepRegistry.h"
#include "tests/support/TestSupport.h"

using tavi_i386::ChildRun;
using tavi_i386::LogLine;
using tavi_i386::Registration;

namespace {

const wchar_t kFolder[] = L"C:\\Cleanup Media";
const wchar_t kElsewhere[] = L"C:\\users\\Public";
const std::wstring kInstaller = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer";
const std::wstring kUninstall = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const std::wstring kUpgradeCode = L"7E2A05C9B41D3F86A0C5E7291B8D4F30";
// A stale registration of the earlier generation, as a 32-bit Windows holds it.
const std::wstring kStaleProduct = L"{0C8F3A51-64B2-4D97-A1E3-5B7902D4C68E}";
const std::wstring kStaleComponent = L"1F0E2D3C4B5A69788796A5B4C3D2E1F0";
// An Uninstall entry of another vendor, which the sweep must leave alone.
const Registration kForeignEntry = {kUninstall + L"\\{7A1B2C3D-4E5F-4061-8293-A4B5C6D7E8F9}", L""};


// Whether two texts match, ignoring case (Wine may spell a module path in its own case).
bool EqualNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a.data(),
                                                  static_cast<int>(a.size()), b.data(),
                                                  static_cast<int>(b.size())) == CSTR_EQUAL;
}

// The shipping Scourwell32.exe in a folder of the prefix, and stale registrations of the
// earlier generation beside a registration of another vendor.
class ShippingScourwell32 : public testing::Test {
protected:
    // Every registration is written through the 32-bit registry view, which is what a
    // 32-bit program sees on this 64-bit prefix and what a 32-bit Windows holds.
    void SetUp() override {
        ASSERT_TRUE(tavi_test::CreateFolders(kFolder));
        program_ = std::wstring(kFolder) + L"\\Scourwell32.exe";
        ASSERT_TRUE(tavi_test::CopyOneFile(std::wstring(tavi_test::MediaDir()) + L"\\Scourwell32.exe",
                                           program_))
            << "Scourwell32.exe is missing from build/media: build the win32 tree first";

        const std::wstring packed = tavi_i386::PackedGuid(kStaleProduct);
        const REGSAM view = KEY_WOW64_32KEY;
        const std::wstring properties =
            kInstaller + L"\\UserData\\S-1-5-18\\Products\\" + packed + L"\\InstallProperties";
        stale_ = {
            {kInstaller + L"\\UserData\\S-1-5-18\\Products\\" + packed, L""},
            {L"SOFTWARE\\Classes\\Installer\\Products\\" + packed, L""},
            {L"SOFTWARE\\Classes\\Installer\\Features\\" + packed, L""},
            {L"SOFTWARE\\Classes\\Installer\\UpgradeCodes\\" + kUpgradeCode, packed},
            {kInstaller + L"\\UpgradeCodes\\" + kUpgradeCode, packed},
            {kInstaller + L"\\UserData\\S-1-5-18\\Components\\" + kStaleComponent, packed},
            {kUninstall + L"\\" + kStaleProduct, L""},
        };
        ASSERT_TRUE(tavi_i386::WriteMachineText(properties, L"DisplayName", L"Vardo(R) Corvane", view));
        ASSERT_TRUE(tavi_i386::WriteMachineText(properties, L"DisplayVersion", L"11.0.3.0", view));
        ASSERT_TRUE(tavi_i386::WriteMachineText(stale_[1].key, L"ProductName", L"Vardo(R) Corvane", view));
        ASSERT_TRUE(tavi_i386::WriteMachineText(stale_[2].key, L"Complete", L"", view));
        for (size_t i : {3, 4, 5})
            ASSERT_TRUE(tavi_i386::WriteMachineText(stale_[i].key, stale_[i].value, L"", view));
        ASSERT_TRUE(tavi_i386::WriteMachineText(stale_[6].key, L"DisplayName", L"Vardo® Corvane", view));
        ASSERT_TRUE(tavi_i386::WriteMachineText(kForeignEntry.key, L"DisplayName", L"Other Vendor Tool", view));
    }

    std::wstring program_;
    std::vector<Registration> stale_;
};

TEST_F(ShippingScourwell32, OneRunSweepsStagesOneToSevenAndLogsToItsOwnFile) {
    const std::wstring logFolder = tavi_i386::LocalAppDataDir();
    ASSERT_FALSE(logFolder.empty());
    ASSERT_TRUE(tavi_i386::FilesMatching(logFolder, L"Scourwell.*.txt").empty());

    const ChildRun run = tavi_i386::RunToEnd(tavi_i386::Quoted(program_), kElsewhere);
    ASSERT_TRUE(run.started) << "error " << run.error;
    ASSERT_TRUE(run.ended) << "the cleanup tool did not end";
    EXPECT_TRUE(run.is32Bit) << "the shipping Scourwell32.exe is not a 32-bit program";
    EXPECT_EQ(0u, run.exitCode) << tavi_i386::DescribeExitCode(run.exitCode);

    for (const Registration& registration : stale_)
        EXPECT_FALSE(tavi_i386::IsRegistered(registration, KEY_WOW64_32KEY))
            << "left behind: " << tavi_i386::Describe(registration);
    EXPECT_TRUE(tavi_i386::IsRegistered(kForeignEntry, KEY_WOW64_32KEY));

    const std::vector<std::wstring> logs = tavi_i386::FilesMatching(logFolder, L"Scourwell.*.txt");
    ASSERT_EQ(1u, logs.size()) << "the log file in " << tavi_test::Narrow(logFolder);
    EXPECT_TRUE(std::regex_match(tavi_test::Narrow(logs[0]), std::regex(R"(Scourwell\.\d{8}\.\d{6}\.txt)")))
        << tavi_test::Narrow(logs[0]);
    const std::vector<LogLine> lines =
        tavi_i386::ParseLog(tavi_test::ReadFileBytes(logFolder + L"\\" + logs[0]));
    ASSERT_GE(lines.size(), 8u);
    for (const LogLine& line : lines) {
        EXPECT_TRUE(line.decorated) << line.raw;
        EXPECT_TRUE(line.crlf) << line.raw;
    }

    char pid[16];
    std::snprintf(pid, sizeof(pid), "%lx", run.processId);
    const std::string rule(53, '=');
    EXPECT_EQ(rule, lines[0].message);
    EXPECT_EQ(0u, lines[1].message.rfind("Log started on ", 0)) << lines[1].message;
    EXPECT_TRUE(EqualNoCase("Executable: " + tavi_test::Narrow(program_), lines[2].message))
        << lines[2].message;
    EXPECT_EQ(0u, lines[3].message.rfind("Compile time : ", 0)) << lines[3].message;
    EXPECT_EQ(std::string("ProcessID: 0x") + pid, lines[4].message);
    EXPECT_EQ(rule, lines[5].message);
    EXPECT_EQ(">>[TaviPreInstallCleanUp()]", lines[6].message);
    EXPECT_EQ("<<[TaviPreInstallCleanUp()]", lines[lines.size() - 2].message);
    EXPECT_EQ(0u, lines.back().message.rfind(std::string("LogClient finished - PID:0x") + pid + " TID:0x", 0))
        << lines.back().message;

    std::vector<std::string> checked;
    for (const LogLine& line : lines)
        if (line.message.rfind("Checking: ", 0) == 0) checked.push_back(line.message.substr(10));
    // Where the 32-bit cleanup tool looks, in the order of its stages.
    EXPECT_EQ(tavi_test::SweepKeyTexts(7), checked);
}

}  // namespace
