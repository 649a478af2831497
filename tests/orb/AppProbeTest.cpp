#include "orb/AppProbe.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/TestSupport.h"

namespace {

std::wstring FolderOf(const wchar_t* path) {
    const std::wstring text = path;
    return text.substr(0, text.rfind(L'\\'));
}

class AppProbeTest : public testing::Test {
protected:
    void SetUp() override { RemoveCandidates(); }
    void TearDown() override { RemoveCandidates(); }

    static void RemoveCandidates() {
        for (const wchar_t* path : AppCandidatePaths) tavi_test::RemoveTree(path);
    }
};

}  // namespace

TEST_F(AppProbeTest, FirstExistingCandidateWins) {
    // Rows are numbered 1 to 4; a negative number puts a folder named TaviApp.exe there.
    const struct { std::vector<int> present; int found; } cases[] = {
        {{}, 0},
        {{2, 3}, 2},
        {{4}, 4},
        {{1, 2, 3, 4}, 1},
        {{3, -2}, 2},
        {{-1}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "found " << c.found);
        RemoveCandidates();
        for (int row : c.present) {
            const wchar_t* path = AppCandidatePaths[std::abs(row) - 1];
            ASSERT_TRUE(tavi_test::CreateFolders(row < 0 ? path : FolderOf(path)));
            if (row > 0) {
                ASSERT_TRUE(tavi_test::WriteFileBytes(path, "MZ"));
            }
        }
        orb::String path(L"left over");
        EXPECT_EQ(c.found != 0, FindInstalledApp(path));
        ASSERT_NE(nullptr, path.Text());
        EXPECT_STREQ(c.found ? AppCandidatePaths[c.found - 1] : L"", path.Text());
    }
}

TEST_F(AppProbeTest, CandidatesAreTheFourFixedPathsInOrder) {
    const wchar_t* expected[] = {
        L"C:\\Program Files (x86)\\Vardo Corporation\\Vardo Tavi\\TaviApp.exe",
        L"C:\\Program Files\\Vardo Corporation\\Vardo Tavi\\TaviApp.exe",
        L"C:\\Program Files (x86)\\Vardo Corporation\\Vardo Corvane\\TaviApp.exe",
        L"C:\\Program Files\\Vardo Corporation\\Vardo Corvane\\TaviApp.exe",
    };
    for (int i = 0; i < 4; ++i) EXPECT_STREQ(expected[i], AppCandidatePaths[i]);
}

TEST_F(AppProbeTest, AnythingFindFirstFileMatchesExists) {
    const std::wstring system = tavi_test::SystemDir();
    EXPECT_TRUE(FileExists((system + L"\\kernel32.dll").c_str()));
    EXPECT_TRUE(FileExists(system.c_str()));
    EXPECT_TRUE(FileExists((system + L"\\kernel3?.*").c_str()));
    EXPECT_FALSE(FileExists((system + L"\\no-such-file.dll").c_str()));
    EXPECT_FALSE(FileExists(L"C:\\no-such-folder\\TaviApp.exe"));
}
