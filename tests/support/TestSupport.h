#pragma once

#include <windows.h>

#include <string>

namespace tavi_test {

// Folders of the build tree as the test program sees them under Wine (drive Z:).
inline const wchar_t* MediaX64Dir() { return TAVI_WIN_MEDIA_X64; }   // build/media-x64
inline const wchar_t* MediaDir() { return TAVI_WIN_MEDIA; }          // build/media (shipping)
inline const wchar_t* TestBinDir() { return TAVI_WIN_TEST_BIN; }     // test programs, stand-ins
inline const wchar_t* SourceDir() { return TAVI_WIN_SOURCE; }

// Result of a child process started with an exact command line.
struct ProcessResult {
    bool started = false;
    DWORD error = 0;       // GetLastError when it did not start
    DWORD exitCode = 0;
};

// Starts applicationName (may be null) with exactly commandLine in workingDir (null:
// inherited), waits for it and reads its exit code inside Windows.
ProcessResult RunProcess(const wchar_t* applicationName, const std::wstring& commandLine,
                         const wchar_t* workingDir = nullptr, DWORD timeoutMs = 120000);

// Whole-file helpers; ReadFileBytes gives an empty string for a missing file.
std::string ReadFileBytes(const std::wstring& path);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
bool CopyOneFile(const std::wstring& from, const std::wstring& to);
// Creates every missing folder of path (which names a folder).
bool CreateFolders(const std::wstring& path);
// Deletes a folder tree of the test's own making (clears read-only bits first).
void RemoveTree(const std::wstring& path);
// The system folder (C:\windows\system32).
std::wstring SystemDir();
// A fresh empty folder under the prefix's temporary folder.
std::wstring MakeTempDir(const wchar_t* stem);
// Narrow (CP_ACP) to wide and back, for comparing log bytes.
std::wstring Widen(const std::string& text);
std::string Narrow(const std::wstring& text);

}  // namespace tavi_test
