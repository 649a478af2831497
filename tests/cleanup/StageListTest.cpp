#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/LogCapture.h"
#include "tests/support/SweepRegistry.h"
#include "tests/support/TestSupport.h"

namespace {

std::wstring LocalAppData() {
    PWSTR folder = nullptr;
    if (FAILED(SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, &folder))) return std::wstring();
    const std::wstring path = folder;
    CoTaskMemFree(folder);
    return path;
}

// Names of the cleanup logs in the local application data folder.
std::vector<std::wstring> LogFiles() {
    std::vector<std::wstring> paths;
    const std::wstring dir = LocalAppData();
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((dir + L"\\Scourwell.*.txt").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return paths;
    do paths.push_back(dir + L"\\" + entry.cFileName);
    while (FindNextFileW(find, &entry));
    FindClose(find);
    return paths;
}

// Runs one build of the cleanup tool from the x64 media folder and gives its
// "Checking: " messages in the order it wrote them.
std::vector<std::string> CheckedKeysOf(const wchar_t* program) {
    for (const std::wstring& path : LogFiles()) DeleteFileW(path.c_str());
    const std::wstring exe = std::wstring(tavi_test::MediaX64Dir()) + L"\\" + program;
    const tavi_test::ProcessResult run = tavi_test::RunProcess(exe.c_str(), L"\"" + exe + L"\"");
    EXPECT_TRUE(run.started) << "error " << run.error;
    EXPECT_EQ(0u, run.exitCode);
    std::vector<std::string> checked;
    const std::vector<std::wstring> logs = LogFiles();
    EXPECT_EQ(1u, logs.size());
    for (const std::wstring& log : logs) {
        const std::string bytes = tavi_test::ReadFileBytes(log);
        for (std::size_t start = 0, end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2) {
            const std::string message = tavi_test::LogCapture::MessageOf(bytes.substr(start, end - start));
            if (message.rfind("Checking: ", 0) == 0) checked.push_back(message);
        }
    }
    return checked;
}

}  // namespace

TEST(StageListTest, OnlyTheSixtyFourBitBuildSweepsTheWow6432NodeUninstallList) {
    std::vector<std::string> stages;
    for (const wchar_t* path : tavi_test::kSweepKeyPaths) stages.push_back(tavi_test::Line(L"Checking: ", path));

    EXPECT_EQ(stages, CheckedKeysOf(L"Scourwell64.exe"));
    stages.pop_back();
    EXPECT_EQ(stages, CheckedKeysOf(L"Scourwell32.exe"));
}
