#include "bootstrapper/HostProbes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/ImportPatch.h"
#include "tests/support/StandInRecord.h"
#include "tests/support/TestSupport.h"

using namespace tavi_test;

namespace {

const char kProductOptions[] = "System\\CurrentControlSet\\Control\\ProductOptions";

// Writes and removes the ProductSuite value of the prefix's ProductOptions key; the key
// itself belongs to the system and stays.
class ProductSuiteValue : public ::testing::Test {
protected:
    void SetUp() override { Remove(); }
    void TearDown() override { Remove(); }

    static void Write(DWORD type, const std::string& bytes) {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, kProductOptions, 0, nullptr, 0,
                                                 KEY_SET_VALUE, nullptr, &key, nullptr));
        EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "ProductSuite", 0, type,
                                                reinterpret_cast<const BYTE*>(bytes.data()),
                                                static_cast<DWORD>(bytes.size())));
        RegCloseKey(key);
    }
    static void Remove() {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProductOptions, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
        RegDeleteValueA(key, "ProductSuite");
        RegCloseKey(key);
    }
};

}  // namespace

TEST_F(ProductSuiteValue, ReadFromTheRegistry) {
    using namespace std::string_literals;
    const struct {
        const char* name;
        DWORD type;
        std::string bytes;
        bool found;
    } cases[] = {
        {"among other entries", REG_MULTI_SZ, "Small Business\0Terminal Server\0Enterprise\0\0"s, true},
        {"differs only in case", REG_MULTI_SZ, "Small Business\0terminal server\0\0"s, false},
        {"stored without terminators", REG_MULTI_SZ, "Enterprise\0Terminal Server"s, true},
        {"other entries only", REG_MULTI_SZ, "Enterprise\0\0"s, false},
        {"empty first entry", REG_MULTI_SZ, "\0Terminal Server\0\0"s, false},
        {"not a list", REG_SZ, "Terminal Server\0"s, false},
        {"no bytes", REG_MULTI_SZ, ""s, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Write(c.type, c.bytes);
        EXPECT_EQ(c.found, ProductSuiteContains("Terminal Server"));
    }
    Remove();
    EXPECT_FALSE(ProductSuiteContains("Terminal Server")) << "value absent";
}

TEST_F(ProductSuiteValue, TestPlatformIsNoTerminalServer) {
    using namespace std::string_literals;
    // From version 5 on the answer comes from the version test, not from this list.
    Write(REG_MULTI_SZ, "Terminal Server\0\0"s);
    EXPECT_FALSE(IsTerminalHost());
}

namespace {

std::vector<std::wstring> g_debuggerLines;

void WINAPI RecordDebuggerText(const wchar_t* text) {
    g_debuggerLines.push_back(text ? text : L"<null>");
}

}  // namespace

TEST(ArchitectureProbe, SixtyFourBitUnderTheTestPlatformsWmi) {
    ImportPatch hook("kernel32.dll", "OutputDebugStringW", reinterpret_cast<void*>(&RecordDebuggerText));
    ASSERT_TRUE(hook.Active());
    g_debuggerLines.clear();
    EXPECT_TRUE(IsOS64Bit());
    EXPECT_EQ(std::vector<std::wstring>{L"64Bit OS"}, g_debuggerLines);
}

namespace {

const std::wstring kRecord = L"C:\\records\\change.txt";
const std::wstring kWorkFolder = L"C:\\work";

// A recording change.exe in the system folder (run instead of Wine's own only with
// WINEDLLOVERRIDES=change.exe=n, which this program's environment sets) and another one
// planted in the working folder.
class ChangeUserCommand : public ::testing::Test {
protected:
    void SetUp() override {
        RemoveTree(L"C:\\records");
        RemoveTree(kWorkFolder);
        ASSERT_TRUE(CreateFolders(L"C:\\records"));
        ASSERT_TRUE(CreateFolders(kWorkFolder));
        ASSERT_TRUE(InstallStandIn(SystemDir() + L"\\change.exe", 1));
        ASSERT_TRUE(InstallStandIn(kWorkFolder + L"\\change.exe", 0));
        GetCurrentDirectoryW(MAX_PATH, savedFolder_);
        SetCurrentDirectoryW(kWorkFolder.c_str());
        SetEnvironmentVariableW(L"TAVI_STANDIN_RECORD", kRecord.c_str());
    }
    void TearDown() override {
        SetEnvironmentVariableW(L"TAVI_STANDIN_RECORD", nullptr);
        SetCurrentDirectoryW(savedFolder_);
        DeleteFileW((SystemDir() + L"\\change.exe").c_str());
    }

private:
    wchar_t savedFolder_[MAX_PATH] = {};
};

}  // namespace

TEST_F(ChangeUserCommand, ExecuteModeRunsTheSystemFoldersChangeProgram) {
    LeaveTerminalInstallMode();

    const std::vector<RunRecord> runs = ReadRunRecords(kRecord);
    ASSERT_EQ(1u, runs.size());
    EXPECT_TRUE(SamePath(SystemDir() + L"\\change.exe", runs[0].module)) << runs[0].module;
    EXPECT_EQ(L"change user /EXECUTE", runs[0].text);
}

TEST_F(ChangeUserCommand, InstallModeIsNotEnteredOffATerminalServer) {
    EXPECT_FALSE(EnterTerminalInstallMode());
    EXPECT_TRUE(ReadRunRecords(kRecord).empty());
}
