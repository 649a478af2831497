#include "tests/support/RunLog.h"

#include <knownfolders.h>
#include <shlobj.h>

#include "tests/support/LogCapture.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tavi_test {

std::wstring LocalAppDataDir() {
    PWSTR folder = nullptr;
    if (FAILED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &folder))) return std::wstring();
    const std::wstring dir = folder;
    CoTaskMemFree(folder);
    return dir;
}

std::vector<std::wstring> RunLogFiles() {
    const std::wstring dir = LocalAppDataDir();
    std::vector<std::wstring> files;
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((dir + L"\\Scourwell.*.txt").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return files;
    do {
        files.push_back(dir + L"\\" + entry.cFileName);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    std::sort(files.begin(), files.end());
    return files;
}

void DeleteRunLogs() {
    for (const std::wstring& file : RunLogFiles()) DeleteFileW(file.c_str());
}

std::vector<std::string> SplitLogLines(const std::string& bytes) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(bytes.substr(start, end - start));
    if (start < bytes.size()) lines.push_back(bytes.substr(start));
    return lines;
}

std::vector<std::string> OnlyRunLogLines() {
    const std::vector<std::wstring> files = RunLogFiles();
    EXPECT_EQ(1u, files.size());
    if (files.size() != 1) return {};
    return SplitLogLines(ReadFileBytes(files[0]));
}

std::vector<std::string> MessagesOf(const std::vector<std::string>& lines) {
    std::vector<std::string> messages;
    for (const std::string& line : lines) messages.push_back(LogCapture::MessageOf(line));
    return messages;
}

ProcessResult RunProgram(const std::wstring& program, const std::wstring& arguments) {
    std::wstring commandLine = L"\"" + program + L"\"";
    if (!arguments.empty()) commandLine += L" " + arguments;
    return RunProcess(program.c_str(), commandLine);
}

void SetLogLevel(int level) {
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\Vardo Corporation\\Vardo Tavi", 0, nullptr, 0,
                        KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    if (level < 0) {
        RegDeleteValueW(key, L"LogLevel");
    } else {
        const DWORD value = static_cast<DWORD>(level);
        RegSetValueExW(key, L"LogLevel", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    }
    RegCloseKey(key);
}

}  // namespace tavi_test
