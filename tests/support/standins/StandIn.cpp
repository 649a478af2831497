// Stands in for an outside program: records its run (see RecordLine.h) with its exact
// command line and exits with the code written in "<own path without extension>.exitcode"
// beside it (decimal, or 0x hex; -1 gives 0xFFFFFFFF), or with 0 when there is none.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "RecordLine.h"

namespace {

DWORD ChosenExitCode() {
    wchar_t modulePath[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, modulePath, MAX_PATH);
    std::wstring path = modulePath;
    path = path.substr(0, path.rfind(L'.')) + L".exitcode";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    char text[32] = {};
    DWORD read = 0;
    ReadFile(file, text, sizeof(text) - 1, &read, nullptr);
    CloseHandle(file);
    return static_cast<DWORD>(std::strtoll(text, nullptr, 0));
}

}  // namespace

int wmain() {
    AppendRecordLine(nullptr, GetCommandLineW());
    ExitProcess(ChosenExitCode());
}
