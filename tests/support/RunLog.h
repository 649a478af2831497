#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/TestSupport.h"

namespace tavi_test {

// The log files that runs of the cleanup tool (or the log probe) leave in the prefix's
// local application data folder, and the registry settings that steer them.

// The local application data folder (C:\users\<user>\AppData\Local).
std::wstring LocalAppDataDir();
// Full paths of the Scourwell.*.txt files there, sorted by name.
std::vector<std::wstring> RunLogFiles();
// Deletes every Scourwell.*.txt there.
void DeleteRunLogs();
// The lines of a log file's bytes, each without its CR LF; a last line without CR LF is
// kept as it is, so a caller can see it.
std::vector<std::string> SplitLogLines(const std::string& bytes);
// The lines of the one log file there; a test failure (and no lines) when there is not
// exactly one.
std::vector<std::string> OnlyRunLogLines();
// The messages of decorated log lines (LogCapture::MessageOf of each).
std::vector<std::string> MessagesOf(const std::vector<std::string>& lines);
// Starts program with its quoted path as the whole command line and waits for it.
ProcessResult RunProgram(const std::wstring& program, const std::wstring& arguments = L"");

// Sets HKCU\SOFTWARE\Vardo Corporation\Vardo Tavi "LogLevel" as a DWORD; a negative level
// deletes the value.
void SetLogLevel(int level);

}  // namespace tavi_test
