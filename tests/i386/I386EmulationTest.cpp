// The ground the i386 label stands on: a 32-bit Windows program runs in the label's prefix
// and its exit code arrives whole (Linux would see only its low 8 bits).

#include <windows.h>

#include <gtest/gtest.h>

#include "tests/i386/I386Support.h"

TEST(I386Emulation, AThirtyTwoBitProgramRunsAndItsWholeExitCodeIsRead) {
    wchar_t folder[MAX_PATH] = L"";
    ASSERT_NE(0u, GetSystemWow64DirectoryW(folder, MAX_PATH))
        << "the prefix has no 32-bit system folder (error " << GetLastError() << ")";
    const tavi_i386::ChildRun run =
        tavi_i386::RunToEnd(std::wstring(folder) + L"\\cmd.exe /c exit 3010", nullptr);
    ASSERT_TRUE(run.started) << "a 32-bit program does not start here (error " << run.error
                             << "): this machine refuses i386 emulation; see tools/setup-i386.sh";
    ASSERT_TRUE(run.ended);
    EXPECT_TRUE(run.is32Bit);
    EXPECT_EQ(3010u, run.exitCode);
}
