// The launch steps and the terminal-server switch seen through whole bootstrapper runs from
// a media folder of the test prefix. Every outside program is the recording stand-in and
// the log service is the recording Quill.dll, all writing to one record file, so a test
// reads the order of the runs and calls and each program's exact command line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "orb/AppProbe.h"
#include "tests/bootstrapper/MediaFolder.h"
#include "tests/support/DebugOutput.h"
#include "tests/support/StandInRecord.h"
#include "tests/support/TestSupport.h"

using namespace tavi_test;

namespace {

const std::wstring kMedia = L"C:\\media";
const std::wstring kElsewhere = L"C:\\elsewhere";
const std::wstring kRecordFolder = L"C:\\records";
const std::wstring kRecord = kRecordFolder + L"\\launch.txt";
const DWORD kInstallerExitCode = 1641;

const std::wstring kStart = L"StartLogger TaviSetupLog 1";
const std::wstring kStop = L"StopLogger";
const std::wstring kCleanup = L"C:\\media\\\\Scourwell64.exe";
const std::wstring kRuntimeX86 = L"C:\\media\\\\vcredist_x86.exe /q";
const std::wstring kRuntimeX64 = L"C:\\media\\\\vcredist_x64.exe /q";
const std::wstring kInstaller = L"msiexec /I \"Vardo(R) Tavi.msi\" /qn ";
const std::wstring kInstallMode = L"change user /INSTALL";
const std::wstring kExecuteMode = L"change user /EXECUTE";

const wchar_t* const kMediaPrograms[] = {L"Scourwell64.exe", L"Scourwell32.exe", L"vcredist_x86.exe",
                                         L"vcredist_x64.exe"};

std::wstring SystemChange() {
    return SystemDir() + L"\\change.exe";
}

std::wstring TestBuild(const wchar_t* name) {
    return std::wstring(TestBinDir()) + L"\\" + name;
}

// The texts of the record file in order; each program's line is its command line.
std::vector<std::wstring> RecordedTexts() {
    std::vector<std::wstring> texts;
    for (const RunRecord& record : ReadRunRecords(kRecord)) texts.push_back(record.text);
    return texts;
}

// A media folder with the recording log service, stand-ins for both cleanup tools and
// both runtime installers, and stand-ins for msiexec.exe and change.exe in the system
// folder (run instead of Wine's own through WINEDLLOVERRIDES in this program's
// environment). No product application is installed.
class LaunchRun : public ::testing::Test {
protected:
    void SetUp() override {
        RemoveTree(kElsewhere);
        RemoveTree(kRecordFolder);
        ASSERT_TRUE(CreateFolders(kElsewhere));
        ASSERT_TRUE(CreateFolders(kRecordFolder));
        ASSERT_TRUE(PrepareMedia(kMedia, std::wstring(), QuillRecorder()));
        for (const wchar_t* program : kMediaPrograms) ASSERT_TRUE(InstallStandIn(kMedia + L"\\" + program, 0));
        ASSERT_TRUE(InstallStandIn(SystemInstaller(), kInstallerExitCode));
        ASSERT_TRUE(InstallStandIn(SystemChange(), 0));
        RemoveApplication();
        SetEnvironmentVariableW(L"TAVI_STANDIN_RECORD", kRecord.c_str());
    }

    void TearDown() override {
        SetEnvironmentVariableW(L"TAVI_STANDIN_RECORD", nullptr);
        RemoveApplication();
    }

    static void RemoveApplication() {
        for (const wchar_t* candidate : AppCandidatePaths) DeleteFileW(candidate);
    }

    // Starts media's program by full path from another working folder.
    static ProcessResult RunFromMedia(const wchar_t* fileName = L"TaviBootLoader.exe") {
        const std::wstring program = kMedia + L"\\" + fileName;
        return RunProcess(program.c_str(), program + L" /s /v/qn", kElsewhere.c_str(), 60000);
    }
};

TEST_F(LaunchRun, RunsTheCleanupToolAndBothRuntimeInstallersBeforeTheInstaller) {
    const std::wstring program = kMedia + L"\\TaviBootLoader.exe";
    const DebuggedRun run = RunUnderDebugger(program.c_str(), program + L" /s /v/qn", kElsewhere.c_str(), 60000);

    ASSERT_TRUE(run.started) << run.error;
    EXPECT_EQ(kInstallerExitCode, run.exitCode);
    EXPECT_EQ((std::vector<std::wstring>{kStart, kCleanup, kRuntimeX86, kRuntimeX64, kInstaller, kStop}),
              RecordedTexts());
    const std::vector<RunRecord> records = ReadRunRecords(kRecord);
    ASSERT_EQ(6u, records.size());
    EXPECT_TRUE(SamePath(kMedia + L"\\Scourwell64.exe", records[1].module)) << records[1].module;
    EXPECT_TRUE(SamePath(kMedia + L"\\vcredist_x86.exe", records[2].module)) << records[2].module;
    EXPECT_TRUE(SamePath(kMedia + L"\\vcredist_x64.exe", records[3].module)) << records[3].module;
    for (size_t i = 1; i <= 3; ++i) EXPECT_TRUE(SamePath(kMedia, records[i].folder)) << records[i].folder;
    // The architecture goes to the debugger before the installer command.
    EXPECT_EQ((std::vector<std::wstring>{L"64Bit OS", kInstaller}), run.debugStrings);
}

TEST_F(LaunchRun, SkipsTheRuntimeInstallersWhenTheApplicationIsAtAnyCandidatePath) {
    for (const wchar_t* candidate : AppCandidatePaths) {
        SCOPED_TRACE(::testing::Message() << Narrow(candidate));
        DeleteFileW(kRecord.c_str());
        const std::wstring path = candidate;
        ASSERT_TRUE(CreateFolders(path.substr(0, path.rfind(L'\\'))));
        ASSERT_TRUE(WriteFileBytes(path, "stand-in application"));

        const ProcessResult result = RunFromMedia();

        ASSERT_TRUE(result.started) << result.error;
        EXPECT_EQ(kInstallerExitCode, result.exitCode);
        EXPECT_EQ((std::vector<std::wstring>{kStart, kCleanup, kInstaller, kStop}), RecordedTexts());
        DeleteFileW(candidate);
    }
}

TEST_F(LaunchRun, AFailingOrMissingHelperProgramChangesNothingElse) {
    enum Change { ExitCode, Missing, NotAProgram };
    const struct {
        const char* what;
        const wchar_t* program;
        Change change;
        DWORD exitCode;
    } cases[] = {
        {"cleanup tool exits with 1603", L"Scourwell64.exe", ExitCode, 1603},
        {"cleanup tool exits with -1", L"Scourwell64.exe", ExitCode, 0xFFFFFFFF},
        {"cleanup tool missing", L"Scourwell64.exe", Missing, 0},
        {"cleanup tool not a program", L"Scourwell64.exe", NotAProgram, 0},
        {"x86 runtime installer exits with 1603", L"vcredist_x86.exe", ExitCode, 1603},
        {"x86 runtime installer missing", L"vcredist_x86.exe", Missing, 0},
        {"x64 runtime installer exits with 3010", L"vcredist_x64.exe", ExitCode, 3010},
        {"x64 runtime installer missing", L"vcredist_x64.exe", Missing, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        DeleteFileW(kRecord.c_str());
        for (const wchar_t* program : kMediaPrograms) ASSERT_TRUE(InstallStandIn(kMedia + L"\\" + program, 0));
        const std::wstring changed = kMedia + L"\\" + c.program;
        bool changeMade = true;
        if (c.change == ExitCode) changeMade = SetStandInExitCode(changed, c.exitCode);
        if (c.change == Missing) changeMade = DeleteFileW(changed.c_str()) != FALSE;
        if (c.change == NotAProgram) changeMade = WriteFileBytes(changed, "not a program");
        ASSERT_TRUE(changeMade);

        const ProcessResult result = RunFromMedia();

        ASSERT_TRUE(result.started) << result.error;
        EXPECT_EQ(kInstallerExitCode, result.exitCode);
        std::vector<std::wstring> expected{kStart, kCleanup, kRuntimeX86, kRuntimeX64, kInstaller, kStop};
        if (c.change != ExitCode) {
            const std::wstring gone = L"C:\\media\\\\" + std::wstring(c.program);
            for (auto it = expected.begin(); it != expected.end(); ++it) {
                if (it->compare(0, gone.size(), gone) == 0) {
                    expected.erase(it);
                    break;
                }
            }
        }
        EXPECT_EQ(expected, RecordedTexts());
    }
}

TEST_F(LaunchRun, ABootstrapperUnderAnotherNameRunsTheHelpersFromTheDriveRoot) {
    ASSERT_TRUE(CopyOneFile(kMedia + L"\\TaviBootLoader.exe", kMedia + L"\\Setup.exe"));
    for (const wchar_t* program : kMediaPrograms) ASSERT_TRUE(InstallStandIn(std::wstring(L"C:\\") + program, 0));

    const ProcessResult result = RunFromMedia(L"Setup.exe");

    ASSERT_TRUE(result.started) << result.error;
    EXPECT_EQ(kInstallerExitCode, result.exitCode);
    const std::vector<RunRecord> records = ReadRunRecords(kRecord);
    EXPECT_EQ((std::vector<std::wstring>{kStart, L"\\Scourwell64.exe", L"\\vcredist_x86.exe /q",
                                         L"\\vcredist_x64.exe /q", kInstaller, kStop}),
              RecordedTexts());
    if (records.size() == 6u) {
        EXPECT_TRUE(SamePath(L"C:\\Scourwell64.exe", records[1].module)) << records[1].module;
        EXPECT_TRUE(SamePath(L"C:\\vcredist_x64.exe", records[3].module)) << records[3].module;
    }
    for (const wchar_t* program : kMediaPrograms) DeleteFileW((std::wstring(L"C:\\") + program).c_str());
}

TEST_F(LaunchRun, ATerminalServerGoesIntoInstallModeBeforeTheLogServiceAndBackAfterTheInstaller) {
    const struct {
        const char* what;
        const wchar_t* build;
        DWORD exitCode;
        std::vector<std::wstring> expected;
    } cases[] = {
        {"normal end", L"TaviBootLoaderTerminal.exe", kInstallerExitCode,
         {kInstallMode, kStart, kCleanup, kRuntimeX86, kRuntimeX64, kInstaller, kExecuteMode, kStop}},
        {"exception in the cleanup-tool step", L"TaviBootLoaderTerminalThrowing.exe", 0xFFFFFFFF,
         {kInstallMode, kStart, kExecuteMode, kStop, kStop}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        DeleteFileW(kRecord.c_str());
        ASSERT_TRUE(PrepareMedia(kMedia, TestBuild(c.build), QuillRecorder()));
        for (const wchar_t* program : kMediaPrograms) ASSERT_TRUE(InstallStandIn(kMedia + L"\\" + program, 0));
        ASSERT_TRUE(SetStandInExitCode(SystemChange(), 1));

        const ProcessResult result = RunFromMedia();

        ASSERT_TRUE(result.started) << result.error;
        EXPECT_EQ(c.exitCode, result.exitCode);
        EXPECT_EQ(c.expected, RecordedTexts());
        for (const RunRecord& record : ReadRunRecords(kRecord)) {
            if (record.text.compare(0, 12, L"change user ") == 0) {
                EXPECT_TRUE(SamePath(SystemChange(), record.module)) << record.module;
            }
        }
    }
}

}  // namespace
