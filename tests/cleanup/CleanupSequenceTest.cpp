// The cleanup tool's run as a whole: Scourwell64.exe and the x64 build of Scourwell32.exe
// from build/media-x64, started in the test prefix with no log server, read back from
// their log files. And the version rule that decides how the run treats the application.
#include "cleanup/VersionRule.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "orb/AppProbe.h"
#include "tests/support/LogCapture.h"
#include "tests/support/RunLog.h"
#include "tests/support/SweepRegistry.h"
#include "tests/support/TestSupport.h"

using tavi_test::LogCapture;

namespace {


const char kEntry[] = ">>[TaviPreInstallCleanUp()]";
const char kExit[] = "<<[TaviPreInstallCleanUp()]";

class CleanupSequenceTest : public testing::Test {
protected:
    void SetUp() override { Reset(); }
    void TearDown() override { Reset(); }

    static void Reset() {
        tavi_test::DeleteRunLogs();
        for (const wchar_t* path : AppCandidatePaths) tavi_test::RemoveTree(path);
    }

    // Runs one build and returns its log lines; the exit code must be 0.
    static std::vector<std::string> Run(const wchar_t* program) {
        tavi_test::DeleteRunLogs();
        const tavi_test::ProcessResult run =
            tavi_test::RunProgram(std::wstring(tavi_test::MediaX64Dir()) + L"\\" + program);
        EXPECT_TRUE(run.started);
        EXPECT_EQ(0u, run.exitCode);
        return tavi_test::OnlyRunLogLines();
    }
};

}  // namespace

TEST(VersionRuleTest, OnlyExactly1_0_57_0IsCleanedFully) {
    const struct { const wchar_t* version; bool full; } cases[] = {
        {L"1.0.57.0", true},
        {L"11.0.57.0", false},
        {L"21.0.57.0", false},
        {L"1.0.57.1", false},
        {L"1.0.57.00", false},
        {L"01.0.57.0", false},
        {L" 1.0.57.0", false},
        {L"1.0.57.0 ", false},
        {L"1.0.57", false},
        {L"", false},
        {nullptr, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.version ? c.version : L"(no buffer)");
        orb::String version(c.version);
        EXPECT_EQ(c.full, IsFullCleanVersion(version));
    }
    orb::String emptyBuffer;
    emptyBuffer.Assign(L"");
    EXPECT_FALSE(IsFullCleanVersion(emptyBuffer));
}

TEST_F(CleanupSequenceTest, RunLogsTheApplicationAndEveryStageInOrder) {
    // row: the candidate that holds TaviApp.exe (0: none); program: its stand-in.
    const struct { int row; const wchar_t* program; const char* version; } cases[] = {
        {0, nullptr, nullptr},
        {2, L"VersionedApp-12.0.1.0.exe", "12.0.1.0"},
        {4, L"VersionedApp-1.0.57.0.exe", "1.0.57.0"},
        {1, L"VersionedApp-11.0.57.0.exe", "11.0.57.0"},
        {3, L"UnversionedApp.exe", ""},
    };
    for (const auto& c : cases) {
        for (const wchar_t* program : {L"Scourwell64.exe", L"Scourwell32.exe"}) {
            SCOPED_TRACE(testing::Message() << tavi_test::Narrow(program) << ", row " << c.row);
            // Each run starts from the same files: a full clean deletes the application.
            Reset();
            std::string found;
            if (c.row) {
                const std::wstring path = AppCandidatePaths[c.row - 1];
                ASSERT_TRUE(tavi_test::CreateFolders(path.substr(0, path.rfind(L'\\'))));
                ASSERT_TRUE(tavi_test::CopyOneFile(std::wstring(tavi_test::TestBinDir()) + L"\\" + c.program, path));
                found = tavi_test::Narrow(path);
            }
            const bool wow = std::wstring(program) == L"Scourwell64.exe";
            const std::vector<std::string> lines = Run(program);
            ASSERT_GE(lines.size(), 9u);
            std::vector<std::string> messages;
            for (const std::string& line : lines) messages.push_back(LogCapture::MessageOf(line));

            // The scope's lines follow the six header lines; the closing line ends the log.
            EXPECT_EQ(kEntry, messages[6]);
            EXPECT_EQ(0, LogCapture::IndentationOf(lines[6]));
            const size_t exit = messages.size() - 2;
            EXPECT_EQ(kExit, messages[exit]);
            EXPECT_EQ(0, LogCapture::IndentationOf(lines[exit]));
            EXPECT_EQ(0u, messages.back().find("LogClient finished - PID:"));
            for (size_t i = 7; i < exit; ++i)
                EXPECT_EQ(1, LogCapture::IndentationOf(lines[i])) << lines[i];

            size_t next = 7;
            if (c.row) {
                EXPECT_EQ("TaviApp.exe found: " + found, messages[7]);
                EXPECT_EQ(std::string("TaviApp.exe version: ") + c.version, messages[8]);
                next = 9;
            }
            for (size_t i = 0; i < messages.size() && !c.row; ++i)
                EXPECT_EQ(std::string::npos, messages[i].find("TaviApp.exe")) << messages[i];

            // The stages' own lines may come between, but their keys come in this order.
            std::vector<std::string> checked;
            for (size_t i = next; i < exit; ++i)
                if (messages[i].find("Checking: ") == 0) checked.push_back(messages[i].substr(10));
            const std::vector<std::string> expected = tavi_test::SweepKeyTexts(wow ? 8 : 7);
            EXPECT_EQ(expected, checked);

            // Only the version 1.0.57.0 is cleaned fully, its own folder included.
            if (c.row) {
                const bool deleted = std::find(messages.begin(), messages.end(),
                                               "Delete File: " + found) != messages.end();
                EXPECT_EQ(std::string(c.version) == "1.0.57.0", deleted);
                EXPECT_EQ(!deleted, FileExists(AppCandidatePaths[c.row - 1]));
            }
        }
    }
}
