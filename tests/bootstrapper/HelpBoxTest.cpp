// The help box of "/?" on a virtual display: found by its caption, its text read, closed
// with its OK button from this process, after which the installer still runs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/bootstrapper/MediaFolder.h"
#include "tests/support/StandInRecord.h"
#include "tests/support/TestSupport.h"

using namespace tavi_test;

namespace {

const std::wstring kMedia = L"C:\\media";
const std::wstring kRecord = L"C:\\records\\run.txt";
const wchar_t kCaption[] = L"Vardo(R) Tavi";
const std::wstring kHelpText =
    L"Supported Cmd line parameters: \n"
    L" /s\tHide initialization dialog \n"
    L" /s /v/qn\tSilent install mode \n"
    L" /V\"parm\"\tPass parameters to MsiExec \n"
    L" /x\tUninstall";

// The visible top-level window with the caption, or null once timeoutMs has passed.
HWND WaitForVisibleWindow(const wchar_t* caption, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    do {
        const HWND window = FindWindowW(nullptr, caption);
        if (window && IsWindowVisible(window)) return window;
        Sleep(100);
    } while (GetTickCount64() < deadline);
    return nullptr;
}

// The texts of the window's child controls.
std::vector<std::wstring> ChildTexts(HWND window) {
    std::vector<std::wstring> texts;
    EnumChildWindows(
        window,
        [](HWND child, LPARAM found) -> BOOL {
            wchar_t text[1024] = {};
            GetWindowTextW(child, text, 1024);
            reinterpret_cast<std::vector<std::wstring>*>(found)->push_back(text);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&texts));
    return texts;
}

TEST(HelpBox, ShowsTheHelpTextAndTheInstallerRunsOnceItIsClosed) {
    ASSERT_TRUE(PrepareMedia(kMedia));
    ASSERT_TRUE(InstallStandIn(SystemInstaller(), 3010));
    RemoveTree(L"C:\\records");
    ASSERT_TRUE(CreateFolders(L"C:\\records"));
    SetEnvironmentVariableW(L"TAVI_STANDIN_RECORD", kRecord.c_str());

    const std::wstring program = kMedia + L"\\TaviBootLoader.exe";
    std::wstring commandLine = program + L" /?";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, L"C:\\",
                               &startup, &process));
    CloseHandle(process.hThread);

    const HWND box = WaitForVisibleWindow(kCaption, 30000);
    if (!box) TerminateProcess(process.hProcess, 0xDEAD);
    ASSERT_NE(nullptr, box) << "no visible window captioned " << "Vardo(R) Tavi";
    DWORD owner = 0;
    GetWindowThreadProcessId(box, &owner);
    EXPECT_EQ(process.dwProcessId, owner);

    const std::vector<std::wstring> texts = ChildTexts(box);
    std::wstring shown;
    for (const std::wstring& text : texts) {
        if (text == kHelpText) shown = text;
    }
    EXPECT_EQ(kHelpText, shown) << texts.size() << " child windows, none with the help text";
    EXPECT_TRUE(ReadRunRecords(kRecord).empty()) << "the installer ran while the box was open";
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(process.hProcess, 0));

    PostMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    if (WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 0xDEAD);
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hProcess);

    EXPECT_EQ(3010u, exitCode);
    const std::vector<RunRecord> runs = ReadRunRecords(kRecord);
    ASSERT_EQ(1u, runs.size());
    EXPECT_EQ(L"msiexec /I \"Vardo(R) Tavi.msi\" ", runs[0].text);
    EXPECT_TRUE(SamePath(kMedia, runs[0].folder)) << runs[0].folder;
}

}  // namespace
