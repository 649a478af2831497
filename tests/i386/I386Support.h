#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Helpers of the i386 label: running the 32-bit shipping programs from the x64 test
// program, the stale product generation they meet, and reading the cleanup tool's log.
namespace tavi_i386 {

// How a child process ended, as Windows reports it.
struct ChildRun {
    bool started = false;
    DWORD error = 0;        // GetLastError when it did not start
    DWORD processId = 0;
    bool is32Bit = false;   // the child ran under WOW64
    bool ended = false;     // false: it was still running at the time limit and was ended
    DWORD exitCode = 0;     // all 32 bits of GetExitCodeProcess
};

// Starts exactly commandLine in workingDir (null: inherited) and waits for it; a child that
// outlives limitMs is terminated. Emulated 32-bit processes need about a minute each.
ChildRun RunToEnd(const std::wstring& commandLine, const wchar_t* workingDir,
                  DWORD limitMs = 15 * 60 * 1000);

// An exit code in hexadecimal, with what it means where the emulation is the likely cause.
std::string DescribeExitCode(DWORD code);

// "text" in double quotes, for a path with blanks on a command line.
std::wstring Quoted(const std::wstring& text);

// The ProductCode property of a package file, or an empty text when it cannot be read.
std::wstring PackageProductCode(const std::wstring& packagePath);

// The 32-character form Windows Installer gives a GUID in registry names.
std::wstring PackedGuid(const std::wstring& guid);

// A key under HKEY_LOCAL_MACHINE, or one of its values when value is not empty.
struct Registration {
    std::wstring key;
    std::wstring value;
};

// Whether the registration exists, seen through the given registry view (KEY_WOW64_64KEY
// or KEY_WOW64_32KEY).
bool IsRegistered(const Registration& registration, REGSAM view);

// The registration as text, for failure messages.
std::string Describe(const Registration& registration);

// Writes a text value under HKEY_LOCAL_MACHINE through the given view, creating the key.
bool WriteMachineText(const std::wstring& path, const std::wstring& valueName,
                      const std::wstring& text, REGSAM view);

// Installs a package with the system's own msiexec, quietly; the installer's exit code.
DWORD InstallPackage(const std::wstring& packagePath);

// The user's temporary folder and local application data folder, without a final backslash.
std::wstring TempDir();
std::wstring LocalAppDataDir();

// Names of the files in folder that match pattern (FindFirstFileW wildcards).
std::vector<std::wstring> FilesMatching(const std::wstring& folder, const wchar_t* pattern);

// One line of the cleanup tool's own log file, taken apart.
struct LogLine {
    std::string raw;        // the line without its line end
    bool decorated = false; // time, thread, level 5 and module tag in their places
    bool crlf = false;      // ended by carriage return and line feed
    std::string message;    // the text between the indentation and the level tag
};

// Splits the bytes of a log file into its lines.
std::vector<LogLine> ParseLog(const std::string& bytes);

}  // namespace tavi_i386
