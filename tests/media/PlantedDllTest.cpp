// A version.dll planted beside the media programs, in a folder like Downloads, with
// native DLLs preferred as Windows prefers them: the programs never load it at run time,
// and the cleanup tool reads file versions through the system folder's copy. The control
// program, which loads version.dll by its bare name, shows that the planted file would
// otherwise be taken. (The programs' own import lists hold no version.dll: the shipped
// files check reads them. Here the test platform's own user32 imports version.dll, so
// the planted file comes in with every process that imports user32, as "static".)
#include <gtest/gtest.h>

#include <string>

#include "orb/AppProbe.h"
#include "tests/support/RunLog.h"
#include "tests/support/TestSupport.h"

namespace {

const wchar_t kMedia[] = L"C:\\users\\Public\\Downloads\\TaviMedia";
const wchar_t kLoads[] = L"C:\\planted-dll-loads.txt";

class PlantedDllTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(tavi_test::CreateFolders(kMedia));
        const std::wstring media = kMedia;
        const std::wstring x64 = tavi_test::MediaX64Dir();
        const std::wstring bin = tavi_test::TestBinDir();
        for (const wchar_t* name : {L"TaviBootLoader.exe", L"Quill.dll", L"Scourwell64.exe", L"Scourwell32.exe"})
            ASSERT_TRUE(tavi_test::CopyOneFile(x64 + L"\\" + name, media + L"\\" + name)) << name;
        ASSERT_TRUE(tavi_test::CopyOneFile(bin + L"\\planted\\version.dll", media + L"\\version.dll"));
        ASSERT_TRUE(tavi_test::CopyOneFile(bin + L"\\PlainVersionUser.exe", media + L"\\PlainVersionUser.exe"));
        // A versioned application makes the cleanup tool read a file version.
        const std::wstring app = AppCandidatePaths[1];
        ASSERT_TRUE(tavi_test::CreateFolders(app.substr(0, app.rfind(L'\\'))));
        ASSERT_TRUE(tavi_test::CopyOneFile(bin + L"\\VersionedApp-12.0.1.0.exe", app));
    }

    void SetUp() override {
        DeleteFileW(kLoads);
        tavi_test::DeleteRunLogs();
    }

    // The loads of the planted DLL at run time: "dynamic <program path>" lines.
    static std::string RunTimeLoads() {
        std::string loads;
        const std::string all = tavi_test::ReadFileBytes(kLoads);
        for (size_t start = 0, end; (end = all.find('\n', start)) != std::string::npos; start = end + 1)
            if (all.compare(start, 8, "dynamic ") == 0) loads += all.substr(start, end + 1 - start);
        return loads;
    }
};

TEST_F(PlantedDllTest, ABareNameLoadWouldTakeThePlantedFile) {
    const tavi_test::ProcessResult run = tavi_test::RunProcess(
        nullptr, std::wstring(L"\"") + kMedia + L"\\PlainVersionUser.exe\"", L"C:\\");
    ASSERT_TRUE(run.started);
    EXPECT_EQ(0u, run.exitCode) << "the planted entry points answer, not the system's";
    EXPECT_NE(std::string::npos, RunTimeLoads().find("PlainVersionUser.exe"));
}

TEST_F(PlantedDllTest, CleanupToolsReadTheVersionThroughTheSystemFolder) {
    for (const wchar_t* program : {L"Scourwell64.exe", L"Scourwell32.exe"}) {
        SCOPED_TRACE(tavi_test::Narrow(program));
        tavi_test::DeleteRunLogs();
        const tavi_test::ProcessResult run = tavi_test::RunProgram(std::wstring(kMedia) + L"\\" + program);
        ASSERT_TRUE(run.started);
        EXPECT_EQ(0u, run.exitCode);
        EXPECT_EQ("", RunTimeLoads());
        const std::vector<std::wstring> logs = tavi_test::RunLogFiles();
        ASSERT_EQ(1u, logs.size());
        EXPECT_NE(std::string::npos, tavi_test::ReadFileBytes(logs[0]).find("TaviApp.exe version: 12.0.1.0"))
            << "the system's version API read the application's version";
    }
}

TEST_F(PlantedDllTest, BootstrapperAndEverythingItStartsLeaveItAlone) {
    const tavi_test::ProcessResult run = tavi_test::RunProcess(
        nullptr, std::wstring(L"\"") + kMedia + L"\\TaviBootLoader.exe\" /s /v/qn", L"C:\\");
    ASSERT_TRUE(run.started);
    EXPECT_EQ("", RunTimeLoads());
}

}  // namespace
