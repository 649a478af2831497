// A GoogleTest program whose one probe test behaves as TAVI_RUNNER_MODE asks, for the check
// of the test runner's second run. The marker file (TAVI_RUNNER_MARKER, outside the
// prefix) tells a second run from the first.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

// True on the first run: the marker did not exist yet and is made now.
bool FirstRun() {
    const char* marker = std::getenv("TAVI_RUNNER_MARKER");
    if (marker == nullptr) return true;
    const HANDLE file = CreateFileA(marker, GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

std::string Mode() {
    const char* mode = std::getenv("TAVI_RUNNER_MODE");
    return mode ? mode : "";
}

}  // namespace

TEST(Runner, Passes) {
    EXPECT_EQ(4, 2 + 2);
}

TEST(Runner, Probe) {
    const std::string mode = Mode();
    const bool first = FirstRun();
    if (mode == "fail-once") {
        EXPECT_FALSE(first) << "failing on the first run only";
    } else if (mode == "fail-always") {
        ADD_FAILURE() << "failing on every run";
    } else if (mode == "skip-after-failing") {
        if (!first) GTEST_SKIP() << "skipped on the second run";
        ADD_FAILURE() << "failing on the first run";
    } else if (mode == "die-once") {
        if (first) ExitProcess(0);
    }
}
