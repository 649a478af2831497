#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace tavi_test {

// One line of a stand-in record file (tests/support/standins/RecordLine.h): which module
// wrote it, the working folder of its process, and the text (a program's exact command
// line, or a recorded log-service call).
struct RunRecord {
    std::wstring module;
    std::wstring folder;
    std::wstring text;
};

// The records of path in the order written; empty when the file is missing.
std::vector<RunRecord> ReadRunRecords(const std::wstring& path);

// tests/bin/standin.exe and the recording Quill.dll, as Wine sees them.
std::wstring StandInProgram();
std::wstring QuillRecorder();

// Copies the stand-in to path (a program name such as ...\msiexec.exe) and sets the exit
// code it will end with; false when either file cannot be written.
bool InstallStandIn(const std::wstring& path, DWORD exitCode = 0);
// Sets the exit code of the stand-in installed at path.
bool SetStandInExitCode(const std::wstring& path, DWORD exitCode);

// True when the two paths name the same file, compared without regard to letter case.
bool SamePath(const std::wstring& a, const std::wstring& b);

}  // namespace tavi_test
