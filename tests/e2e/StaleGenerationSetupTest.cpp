// A silent setup over a stale earlier generation: the stale package installed by Wine's
// msiexec and leftovers of earlier generations laid out beside it, then the x64 media run
// from another working folder. The cleanup tool takes away the stale registrations and
// leftovers and logs through the bootstrapper's log service; the current product is
// installed, and an uninstall through the bootstrapper removes it again.

#include <windows.h>
#include <msi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/e2e/SetupMedia.h"
#include "tests/support/RunLog.h"
#include "tests/support/SweepRegistry.h"

using namespace tavi_test;

namespace {

const std::wstring kStaleCode = TAVI_CORVANE_PRODUCT_CODE;
const std::wstring kStalePacked = TAVI_CORVANE_PACKED;
const std::wstring kForeignEntry = std::wstring(kSweepKeyPaths[6]) + L"\\{C4B2E917-5D38-4A06-8F1E-92A7D3C60B58}";

// A registration the stale package left: a key, or a value named by its packed code.
struct Registration {
    const char* what;
    std::wstring key;
    bool packedValue;
};

// Every registration of the stale package that the sweep must take away, but the
// component values, which StaleComponentValues counts.
std::vector<Registration> StaleRegistrations() {
    return {
        {"product data", std::wstring(kSweepKeyPaths[0]) + L"\\" + kStalePacked, false},
        {"class registration", std::wstring(kSweepKeyPaths[1]) + L"\\" + kStalePacked, false},
        {"upgrade code (classes)", kSweepKeyPaths[2], true},
        {"upgrade code (installer)", kSweepKeyPaths[3], true},
        {"features", std::wstring(kSweepKeyPaths[5]) + L"\\" + kStalePacked, false},
        {"uninstall entry under Wow6432Node", std::wstring(kSweepKeyPaths[7]) + L"\\" + kStaleCode, false},
    };
}

// Whether the registration is in the registry now.
bool Registered(const Registration& registration) {
    return registration.packedValue ? ValueExists(registration.key, kStalePacked.c_str())
                                    : KeyExists(registration.key);
}

// How many component keys hold a value for the stale product.
int StaleComponentValues() {
    int count = 0;
    for (const std::wstring& component : SubkeyNames(kSweepKeyPaths[4]))
        count += ValueExists(std::wstring(kSweepKeyPaths[4]) + L"\\" + component, kStalePacked.c_str()) ? 1 : 0;
    return count;
}

// Files left by earlier generations inside entries of the cleanup tool's lists.
const wchar_t* const kLeftoverFiles[] = {
    L"C:\\Program Files\\Vardo Corporation\\Vardo Corvane\\Plugins\\codec.dat",
    L"C:\\Program Files (x86)\\Common Files\\Vardo Corporation\\Moxicodec Filters\\moxi.ax",
    L"C:\\Users\\Public\\Desktop\\Vardo(R) Corvane.lnk",
    L"C:\\Users\\Public\\Desktop\\Vardo\u00AE Corvane.lnk",
    L"C:\\Users\\All Users\\Microsoft\\Windows\\Start Menu\\Programs\\Vardo Corporation\\Vardo(R) Corvane\\"
    L"Vardo(R) Corvane.lnk",
};

// The list entries that hold them, and the stale package's own folder.
const wchar_t* const kLeftoverEntries[] = {
    L"C:\\Program Files (x86)\\Vardo Corporation\\Vardo Corvane",
    L"C:\\Program Files\\Vardo Corporation\\Vardo Corvane",
    L"C:\\Program Files (x86)\\Common Files\\Vardo Corporation\\Moxicodec Filters",
    L"C:\\Users\\Public\\Desktop\\Vardo(R) Corvane.lnk",
    L"C:\\Users\\Public\\Desktop\\Vardo\u00AE Corvane.lnk",
    L"C:\\Users\\All Users\\Microsoft\\Windows\\Start Menu\\Programs\\Vardo Corporation\\Vardo(R) Corvane",
};

// Files on no list, beside the leftovers.
const wchar_t* const kBystanders[] = {
    L"C:\\Program Files\\Vardo Corporation\\Shared Notes\\notes.txt",
    L"C:\\Users\\Public\\Desktop\\Other Tool.lnk",
};

// Writes a small file at path, creating the folders above it; false when either fails.
bool WriteFileInNewFolders(const std::wstring& path) {
    return CreateFolders(path.substr(0, path.rfind(L'\\'))) && WriteFileBytes(path, "left by an earlier generation");
}

// The setup log of the log service in the user's temporary folder, split into lines.
std::vector<std::string> SetupLogLines(std::string* bytes) {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    *bytes = ReadFileBytes(std::wstring(temp) + L"TaviSetupLog.log");
    return SplitLogLines(*bytes);
}

// Index of the first line at or after from that contains text; lines.size() when none does.
size_t FindLine(const std::vector<std::string>& lines, const std::string& text, size_t from) {
    for (size_t i = from; i < lines.size(); ++i)
        if (lines[i].find(text) != std::string::npos) return i;
    return lines.size();
}

}  // namespace

TEST(StaleGenerationSetup, SilentSetupSweepsTheStaleGenerationInstallsTheProductAndUninstallRemovesIt) {
    const ProcessResult stale = InstallBuiltPackage(L"Vardo(R) Corvane.msi");
    ASSERT_TRUE(stale.started) << "error " << stale.error;
    ASSERT_EQ(0u, stale.exitCode);
    for (const Registration& registration : StaleRegistrations())
        ASSERT_TRUE(Registered(registration)) << registration.what << " was never written";
    ASSERT_LT(0, StaleComponentValues());
    for (const wchar_t* file : kLeftoverFiles) ASSERT_TRUE(WriteFileInNewFolders(file)) << Narrow(file);
    for (const wchar_t* file : kBystanders) ASSERT_TRUE(WriteFileInNewFolders(file)) << Narrow(file);
    ASSERT_TRUE(WriteText(kForeignEntry, L"DisplayName", L"Other Tool"));
    ASSERT_NO_FATAL_FAILURE(LayOutMedia());
    DeleteRunLogs();

    const ProcessResult install = RunSetupFrom(kSetupMedia, L"/s /v/qn");

    ASSERT_TRUE(install.started) << "error " << install.error;
    EXPECT_EQ(0u, install.exitCode);
    for (const Registration& registration : StaleRegistrations())
        EXPECT_FALSE(Registered(registration)) << registration.what << " is still there";
    EXPECT_EQ(0, StaleComponentValues());
    EXPECT_TRUE(KeyExists(kForeignEntry));
    for (const wchar_t* entry : kLeftoverEntries) EXPECT_FALSE(PathExists(entry)) << Narrow(entry);
    for (const wchar_t* file : kBystanders) EXPECT_TRUE(PathExists(file)) << Narrow(file);
    EXPECT_EQ(INSTALLSTATE_DEFAULT, MsiQueryProductStateW(TAVI_PRODUCT_CODE));
    EXPECT_EQ(TAVI_PRODUCT_VERSION, InstalledVersion(TAVI_PRODUCT_CODE));
    EXPECT_TRUE(PathExists(kInstalledApp));

    // The cleanup tool's lines, in their order, in the log service's file; the registered
    // sign of a shortcut name arrives as its one 8-bit byte.
    std::string log;
    const std::vector<std::string> lines = SetupLogLines(&log);
    const std::string inOrder[] = {
        ">>[TaviPreInstallCleanUp()]",
        "Delete Folder: C:\\Program Files (x86)\\Vardo Corporation\\Vardo Corvane",
        "Delete File: C:\\Users\\Public\\Desktop\\Vardo\xAE Corvane.lnk",
        "Bad TaviInstallGUID:(D) " + Narrow(kSweepKeyPaths[0]) + "\\" + Narrow(kStalePacked),
        "Bad TaviUninstallGUID:(D) " + Narrow(kSweepKeyPaths[7]) + "\\" + Narrow(kStaleCode),
        "<<[TaviPreInstallCleanUp()]",
        "LogClient finished",
    };
    size_t from = 0;
    for (const std::string& text : inOrder) {
        const size_t at = FindLine(lines, text, from);
        EXPECT_LT(at, lines.size()) << "no line with \"" << text << "\" after line " << from << " of:\n" << log;
        if (at < lines.size()) from = at + 1;
    }
    const std::vector<std::wstring> ownLogs = RunLogFiles();
    EXPECT_TRUE(ownLogs.empty()) << "the cleanup tool wrote " << Narrow(ownLogs.front());

    const ProcessResult uninstall = RunSetupFrom(kSetupMedia, L"/x /v/qn");

    ASSERT_TRUE(uninstall.started) << "error " << uninstall.error;
    EXPECT_EQ(0u, uninstall.exitCode);
    EXPECT_EQ(INSTALLSTATE_UNKNOWN, MsiQueryProductStateW(TAVI_PRODUCT_CODE));
    EXPECT_FALSE(PathExists(kInstalledApp));
}
