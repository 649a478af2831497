// Both x64 builds of the cleanup tool from build/media-x64, run as whole programs against
// the foreign-registration registry with the application of the current version
// installed: only the stale products' registrations go.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "orb/AppProbe.h"
#include "tests/support/ForeignRegistrations.h"
#include "tests/support/LogCapture.h"
#include "tests/support/RunLog.h"
#include "tests/support/SweepRegistry.h"
#include "tests/support/TestSupport.h"

namespace {

// The candidate path the application is installed at: the x64 Program Files one.
const wchar_t* const kAppPath = AppCandidatePaths[1];

// Runs program from the x64 media folder and gives the messages of its log file.
std::vector<std::string> RunFromMedia(const wchar_t* program) {
    tavi_test::DeleteRunLogs();
    const tavi_test::ProcessResult run =
        tavi_test::RunProgram(std::wstring(tavi_test::MediaX64Dir()) + L"\\" + program);
    EXPECT_TRUE(run.started) << "error " << run.error;
    EXPECT_EQ(0u, run.exitCode);
    return tavi_test::MessagesOf(tavi_test::OnlyRunLogLines());
}

}  // namespace

TEST(ForeignRegistrationRunTest, WholeProgramRemovesOnlyTheStaleProductsRegistrations) {
    const std::wstring app = kAppPath;
    ASSERT_TRUE(tavi_test::CreateFolders(app.substr(0, app.rfind(L'\\'))));
    ASSERT_TRUE(tavi_test::CopyOneFile(std::wstring(tavi_test::TestBinDir()) + L"\\VersionedApp-12.0.1.0.exe", app));
    const std::string used = tavi_test::Line(
        L"Used TaviInstallGUID: ", std::wstring(tavi_test::kSweepKeyPaths[0]) + L"\\" + tavi_test::kForeignFixtureCurrent);

    for (const wchar_t* program : {L"Scourwell64.exe", L"Scourwell32.exe"}) {
        SCOPED_TRACE(tavi_test::Narrow(program));
        tavi_test::ClearSweptKeys();
        ASSERT_NO_FATAL_FAILURE(tavi_test::WriteForeignFixture());
        const auto before = tavi_test::SnapshotForeignFixture();

        const std::vector<std::string> messages = RunFromMedia(program);

        const bool sweepsWow6432Node = std::wstring(program) == L"Scourwell64.exe";
        EXPECT_TRUE(tavi_test::OnlyRemoved(before, tavi_test::SnapshotForeignFixture(),
                                           tavi_test::ForeignFixtureRemovals(sweepsWow6432Node)));
        EXPECT_TRUE(std::find(messages.begin(), messages.end(), "TaviApp.exe version: 12.0.1.0") != messages.end());
        EXPECT_TRUE(std::find(messages.begin(), messages.end(), used) != messages.end()) << used;
        for (const std::string& message : messages)
            EXPECT_EQ(std::string::npos, message.find("Delete failed")) << message;
    }
}
