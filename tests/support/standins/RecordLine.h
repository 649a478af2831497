#pragma once

#include <windows.h>

#include <string>

// Appends "<module path> TAB <working folder> TAB <text>" and CR LF, in UTF-8, to the file
// named by TAVI_STANDIN_RECORD, or else to "<module path without extension>.record" beside
// the module. Retries briefly when another stand-in has the file open.
inline void AppendRecordLine(HMODULE module, const std::wstring& text) {
    wchar_t modulePath[MAX_PATH] = {};
    GetModuleFileNameW(module, modulePath, MAX_PATH);
    wchar_t folder[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, folder);

    std::wstring recordPath;
    wchar_t fromEnvironment[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"TAVI_STANDIN_RECORD", fromEnvironment, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        recordPath = fromEnvironment;
    } else {
        recordPath = modulePath;
        recordPath = recordPath.substr(0, recordPath.rfind(L'.')) + L".record";
    }

    const std::wstring line = std::wstring(modulePath) + L"\t" + folder + L"\t" + text + L"\r\n";
    const int size = WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), &bytes[0], size, nullptr, nullptr);

    for (int attempt = 0; attempt < 100; ++attempt) {
        HANDLE file = CreateFileW(recordPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
            CloseHandle(file);
            return;
        }
        Sleep(20);
    }
}
