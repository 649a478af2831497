#include "cleanup/FileVersion.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

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

// The LoadLibraryExW calls made while a LoadRecorder lives, and how they answer.
struct LibraryLoad {
    std::wstring name;
    DWORD flags;
    bool operator==(const LibraryLoad& other) const { return name == other.name && flags == other.flags; }
};
std::vector<LibraryLoad> libraryLoads;
DWORD rejectSearchFlags = 0;  // the error for a call with search flags; 0: none
tavi_test::ImportPatch* loadPatch = nullptr;

HMODULE WINAPI RecordingLoadLibraryExW(LPCWSTR name, HANDLE file, DWORD flags) {
    libraryLoads.push_back({name ? name : L"", flags});
    if (rejectSearchFlags && flags) {
        SetLastError(rejectSearchFlags);
        return nullptr;
    }
    return loadPatch->Original<decltype(&LoadLibraryExW)>()(name, file, flags);
}

std::ostream& operator<<(std::ostream& out, const LibraryLoad& load) {
    return out << tavi_test::Narrow(load.name) << " 0x" << std::hex << load.flags;
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
    const std::wstring byPath = tavi_test::SystemDir() + L"\\version.dll";
    const struct { DWORD reject; std::vector<LibraryLoad> loads; const wchar_t* version; } cases[] = {
        {0, {{L"version.dll", LOAD_LIBRARY_SEARCH_SYSTEM32}}, L"1.0.57.0"},
        // A system that does not know the search flags: the full path instead.
        {ERROR_INVALID_PARAMETER, {{L"version.dll", LOAD_LIBRARY_SEARCH_SYSTEM32}, {byPath, 0}}, L"1.0.57.0"},
        {ERROR_MOD_NOT_FOUND, {{L"version.dll", LOAD_LIBRARY_SEARCH_SYSTEM32}}, L""},
    };
    tavi_test::ImportPatch patch("kernel32.dll", "LoadLibraryExW", reinterpret_cast<void*>(RecordingLoadLibraryExW));
    ASSERT_TRUE(patch.Active());
    loadPatch = &patch;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reject);
        libraryLoads.clear();
        rejectSearchFlags = c.reject;
        EXPECT_EQ(c.version, VersionOf(TestProgram(L"VersionedApp-1.0.57.0.exe")));
        EXPECT_EQ(c.loads, libraryLoads);
    }
    rejectSearchFlags = 0;
    loadPatch = nullptr;
}

TEST(FileVersionTest, NoMemoryForTheResourceGivesNoVersion) {
    tavi_test::ImportPatch patch("kernel32.dll", "HeapAlloc", reinterpret_cast<void*>(FailingHeapAlloc));
    ASSERT_TRUE(patch.Active());
    EXPECT_EQ(L"", VersionOf(TestProgram(L"VersionedApp-1.0.57.0.exe")));
}
