#include "cleanup/FileVersion.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/ImportPatch.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestSupport.h"

namespace {

std::wstring TestProgram(const wchar_t* name) { return std::wstring(tavi_test::TestBinDir()) + L"\\" + name; }

std::wstring VersionOf(const std::wstring& path) {
    // A version left from before must not survive a failed read.
    orb::String version(L"stale");
    GetFileVersionText(orb::String(path.c_str()), version);
    return version.Text() ? version.Text() : L"";
}

struct LibraryLoad {
    std::wstring name;
    DWORD flags = 0;
    bool fail = false;
} libraryLoad;

tavi_test::ImportPatch* loadPatch = nullptr;

HMODULE WINAPI RecordingLoadLibraryExW(LPCWSTR name, HANDLE file, DWORD flags) {
    libraryLoad.name = name ? name : L"";
    libraryLoad.flags = flags;
    if (libraryLoad.fail) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return loadPatch->Original<decltype(&LoadLibraryExW)>()(name, file, flags);
}

LPVOID WINAPI FailingHeapAlloc(HANDLE, DWORD, SIZE_T) { return nullptr; }

}  // namespace

TEST(FileVersionTest, FileVersionReadsAsFourNumbers) {
    tavi_test::LogCapture log;
    const struct { const wchar_t* path; const wchar_t* version; } cases[] = {
        {L"VersionedApp-1.0.57.0.exe", L"1.0.57.0"},
        {L"VersionedApp-11.0.57.0.exe", L"11.0.57.0"},
        {L"VersionedApp-2.3.0.65535.exe", L"2.3.0.65535"},
        {L"VersionedApp-12.0.1.0.exe", L"12.0.1.0"},
        {L"UnversionedApp.exe", L""},
        {L"Missing.exe", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(c.version, VersionOf(TestProgram(c.path)));
    }
    EXPECT_EQ(L"", VersionOf(tavi_test::TestBinDir()));
    EXPECT_EQ(L"", VersionOf(L""));
    EXPECT_TRUE(log.NewLines().empty());
}

TEST(FileVersionTest, VersionLibraryComesFromTheSystemFolderOnly) {
    tavi_test::ImportPatch patch("kernel32.dll", "LoadLibraryExW", reinterpret_cast<void*>(RecordingLoadLibraryExW));
    ASSERT_TRUE(patch.Active());
    loadPatch = &patch;
    EXPECT_EQ(L"1.0.57.0", VersionOf(TestProgram(L"VersionedApp-1.0.57.0.exe")));
    EXPECT_EQ(L"version.dll", libraryLoad.name);
    EXPECT_EQ(DWORD(LOAD_LIBRARY_SEARCH_SYSTEM32), libraryLoad.flags);

    libraryLoad.fail = true;
    EXPECT_EQ(L"", VersionOf(TestProgram(L"VersionedApp-1.0.57.0.exe")));
    libraryLoad.fail = false;
    loadPatch = nullptr;
}

TEST(FileVersionTest, NoMemoryForTheResourceGivesNoVersion) {
    tavi_test::ImportPatch patch("kernel32.dll", "HeapAlloc", reinterpret_cast<void*>(FailingHeapAlloc));
    ASSERT_TRUE(patch.Active());
    EXPECT_EQ(L"", VersionOf(TestProgram(L"VersionedApp-1.0.57.0.exe")));
}
