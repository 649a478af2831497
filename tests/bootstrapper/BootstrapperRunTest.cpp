// The bootstrapper run as a program from a media folder of the test prefix, with a
// stand-in msiexec.exe in the system folder that records its command line and working
// folder and ends with a chosen exit code.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/bootstrapper/MediaFolder.h"
#include "tests/support/DebugOutput.h"
#include "tests/support/StandInRecord.h"
#include "tests/support/TestSupport.h"

using namespace tavi_test;

namespace {

const std::wstring kMedia = L"C:\\media";
const std::wstring kElsewhere = L"C:\\elsewhere";
const std::wstring kRecord = L"C:\\records\\run.txt";
const std::wstring kPipeName = L"\\\\.\\pipe\\KOVA_Tavi_IP1";

std::wstring SetupLogPath() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + L"TaviSetupLog.log";
}

class BootstrapperRun : public ::testing::Test {
protected:
    void SetUp() override {
        RemoveTree(kElsewhere);
        RemoveTree(L"C:\\records");
        ASSERT_TRUE(CreateFolders(kElsewhere));
        ASSERT_TRUE(CreateFolders(L"C:\\records"));
        ASSERT_TRUE(PrepareMedia(kMedia));
        ASSERT_TRUE(InstallStandIn(SystemInstaller(), 0));
        DeleteFileW(SetupLogPath().c_str());
        SetEnvironmentVariableW(L"TAVI_STANDIN_RECORD", kRecord.c_str());
    }

    void TearDown() override { SetEnvironmentVariableW(L"TAVI_STANDIN_RECORD", nullptr); }

    // Starts the media folder's bootstrapper by full path from another working folder.
    static ProcessResult RunBootstrapper(const std::wstring& arguments) {
        const std::wstring program = kMedia + L"\\TaviBootLoader.exe";
        return RunProcess(program.c_str(), arguments.empty() ? program : program + L" " + arguments,
                          kElsewhere.c_str(), 60000);
    }

    // The stand-in installer runs recorded so far.
    static std::vector<RunRecord> InstallerRuns() {
        std::vector<RunRecord> runs;
        for (const RunRecord& record : ReadRunRecords(kRecord))
            if (record.module.find(L"msiexec.exe") != std::wstring::npos) runs.push_back(record);
        return runs;
    }
};

TEST_F(BootstrapperRun, PassesTheInstallerExitCodeThroughUnchanged) {
    for (const DWORD code : {0ul, 1603ul, 3010ul, 1641ul, 424242ul}) {
        SCOPED_TRACE(code);
        DeleteFileW(kRecord.c_str());
        ASSERT_TRUE(SetStandInExitCode(SystemInstaller(), code));

        const ProcessResult result = RunBootstrapper(L"/s /v/qn");

        ASSERT_TRUE(result.started) << result.error;
        EXPECT_EQ(code, result.exitCode);
        const std::vector<RunRecord> runs = InstallerRuns();
        ASSERT_EQ(1u, runs.size());
        EXPECT_TRUE(SamePath(SystemInstaller(), runs[0].module)) << runs[0].module;
        EXPECT_EQ(L"msiexec /I \"Vardo(R) Tavi.msi\" /qn ", runs[0].text);
    }
}

TEST_F(BootstrapperRun, RunsTheInstallerInTheMediaFolderWhenStartedFromElsewhere) {
    const ProcessResult result = RunBootstrapper(L"/x");

    ASSERT_TRUE(result.started) << result.error;
    const std::vector<RunRecord> runs = InstallerRuns();
    ASSERT_EQ(1u, runs.size());
    EXPECT_TRUE(SamePath(kMedia, runs[0].folder)) << runs[0].folder;
    EXPECT_EQ(L"msiexec /X \"Vardo(R) Tavi.msi\" ", runs[0].text);
}

TEST_F(BootstrapperRun, NeverRunsAnInstallerPlantedInTheMediaOrWorkingFolder) {
    ASSERT_TRUE(InstallStandIn(kMedia + L"\\msiexec.exe", 99));
    ASSERT_TRUE(InstallStandIn(kElsewhere + L"\\msiexec.exe", 98));
    ASSERT_TRUE(SetStandInExitCode(SystemInstaller(), 3010));

    const ProcessResult result = RunBootstrapper(L"/s /v/qn");

    EXPECT_EQ(3010u, result.exitCode);
    const std::vector<RunRecord> runs = InstallerRuns();
    ASSERT_EQ(1u, runs.size());
    EXPECT_TRUE(SamePath(SystemInstaller(), runs[0].module)) << runs[0].module;
}

TEST_F(BootstrapperRun, EndsWith1603WhenTheInstallerCannotBeStarted) {
    const struct {
        const char* what;
        bool removeInstaller;
    } cases[] = {{"no msiexec.exe in the system folder", true}, {"msiexec.exe is not a program", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        DeleteFileW(kRecord.c_str());
        if (c.removeInstaller)
            ASSERT_TRUE(DeleteFileW(SystemInstaller().c_str()));
        else
            ASSERT_TRUE(WriteFileBytes(SystemInstaller(), "not a program"));

        const ProcessResult result = RunBootstrapper(L"/s /v/qn");

        ASSERT_TRUE(result.started) << result.error;
        EXPECT_EQ(1603u, result.exitCode);
        EXPECT_TRUE(InstallerRuns().empty());
    }
}

TEST_F(BootstrapperRun, HandsLongParametersWholeToTheInstallerOrDoesNotStartIt) {
    // The installer command is the parameter plus 32 characters: msiexec, the switch and the
    // package before it, one blank after it. CreateProcessW takes at most 32,766 characters.
    const struct {
        size_t parameterLength;
        bool runs;
    } cases[] = {{1100, true}, {32734, true}, {32735, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.parameterLength);
        DeleteFileW(kRecord.c_str());
        const std::wstring parameter = L"A=" + std::wstring(c.parameterLength - 2, L'x');

        const ProcessResult result = RunBootstrapper(L"/v" + parameter);

        ASSERT_TRUE(result.started) << result.error;
        const std::vector<RunRecord> runs = InstallerRuns();
        if (c.runs) {
            EXPECT_EQ(0u, result.exitCode);
            ASSERT_EQ(1u, runs.size());
            EXPECT_EQ(L"msiexec /I \"Vardo(R) Tavi.msi\" " + parameter + L" ", runs[0].text);
        } else {
            EXPECT_EQ(1603u, result.exitCode);
            EXPECT_TRUE(runs.empty());
        }
    }
}

TEST_F(BootstrapperRun, SendsTheExactInstallerCommandToTheDebuggerOutput) {
    ASSERT_TRUE(SetStandInExitCode(SystemInstaller(), 3010));
    const std::wstring program = kMedia + L"\\TaviBootLoader.exe";

    const DebuggedRun run =
        RunUnderDebugger(program.c_str(), program + L" /v\"A=1 B=2\"  /vC=3 /x", kElsewhere.c_str(), 60000);

    ASSERT_TRUE(run.started) << run.error;
    EXPECT_EQ(3010u, run.exitCode);
    const std::wstring command = L"msiexec /X \"Vardo(R) Tavi.msi\" A=1 B=2 C=3 ";
    ASSERT_FALSE(run.debugStrings.empty());
    EXPECT_EQ(command, run.debugStrings.back());
    const std::vector<RunRecord> runs = InstallerRuns();
    ASSERT_EQ(1u, runs.size());
    EXPECT_EQ(command, runs[0].text);
}

TEST_F(BootstrapperRun, StartsTheLogServiceBeforeTheInstallerAndStopsItAfter) {
    ASSERT_TRUE(PrepareMedia(kMedia, std::wstring(), QuillRecorder()));
    ASSERT_TRUE(SetStandInExitCode(SystemInstaller(), 1603));

    const ProcessResult result = RunBootstrapper(L"/s /v/qn");

    EXPECT_EQ(1603u, result.exitCode);
    const std::vector<RunRecord> records = ReadRunRecords(kRecord);
    ASSERT_EQ(3u, records.size());
    EXPECT_EQ(L"StartLogger TaviSetupLog 1", records[0].text);
    EXPECT_TRUE(SamePath(kMedia + L"\\Quill.dll", records[0].module)) << records[0].module;
    EXPECT_EQ(L"msiexec /I \"Vardo(R) Tavi.msi\" /qn ", records[1].text);
    EXPECT_EQ(L"StopLogger", records[2].text);
}

TEST_F(BootstrapperRun, AnExceptionSkipsTheInstallerStopsTheLogServiceTwiceAndEndsWithMinusOne) {
    ASSERT_TRUE(PrepareMedia(kMedia, ThrowingBootstrapper(), QuillRecorder()));

    const ProcessResult result = RunBootstrapper(L"/s /v/qn");

    EXPECT_EQ(0xFFFFFFFFu, result.exitCode);
    std::vector<std::wstring> calls;
    for (const RunRecord& record : ReadRunRecords(kRecord)) calls.push_back(record.text);
    EXPECT_EQ((std::vector<std::wstring>{L"StartLogger TaviSetupLog 1", L"StopLogger", L"StopLogger"}), calls);
}

TEST_F(BootstrapperRun, TheLogServiceAppendsItsLinesToTheSetupLogRunAfterRun) {
    ASSERT_TRUE(WriteFileBytes(SetupLogPath(), "earlier line\r\n"));

    RunBootstrapper(L"/s /v/qn");
    RunBootstrapper(L"/x /v/qn");

    const std::string log = ReadFileBytes(SetupLogPath());
    EXPECT_EQ(0u, log.find("earlier line\r\n")) << log;
    const size_t firstStart = log.find("Serving \\\\.\\pipe\\KOVA_Tavi_IP1\r\n");
    const size_t firstStop = log.find("Stopped after 0 lines\r\n");
    ASSERT_NE(std::string::npos, firstStart) << log;
    ASSERT_NE(std::string::npos, firstStop) << log;
    EXPECT_LT(firstStart, firstStop);
    EXPECT_NE(std::string::npos, log.find("Serving \\\\.\\pipe\\KOVA_Tavi_IP1\r\n", firstStop)) << log;
    EXPECT_NE(std::string::npos, log.find("Stopped after 0 lines\r\n", firstStop + 1)) << log;
}

TEST_F(BootstrapperRun, APipeNameHeldByAnotherServerDoesNotHoldUpTheSetup) {
    // One instance: every host refuses the service its first instance. Four: hosts that
    // ignore FILE_FLAG_FIRST_PIPE_INSTANCE would let the service share the name.
    for (const DWORD squatterInstances : {1ul, 4ul}) {
        SCOPED_TRACE(squatterInstances);
        DeleteFileW(SetupLogPath().c_str());
        DeleteFileW(kRecord.c_str());
        const HANDLE squatter =
            CreateNamedPipeW(kPipeName.c_str(), PIPE_ACCESS_INBOUND, PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE,
                             squatterInstances, 0, 0, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, squatter);
        ASSERT_TRUE(SetStandInExitCode(SystemInstaller(), 3010));

        const ULONGLONG start = GetTickCount64();
        const ProcessResult result = RunBootstrapper(L"/s /v/qn");
        const ULONGLONG elapsed = GetTickCount64() - start;
        CloseHandle(squatter);

        EXPECT_EQ(3010u, result.exitCode);
        EXPECT_LT(elapsed, 20000u);
        EXPECT_EQ(1u, InstallerRuns().size());
        const std::string log = ReadFileBytes(SetupLogPath());
        EXPECT_NE(std::string::npos, log.find("Cannot serve \\\\.\\pipe\\KOVA_Tavi_IP1")) << log;
        EXPECT_EQ(std::string::npos, log.find("Serving")) << log;
    }
}

}  // namespace
