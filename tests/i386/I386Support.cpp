#include "tests/i386/I386Support.h"

#include <msi.h>
#include <msiquery.h>
#include <shlobj.h>

#include <cstdio>
#include <regex>

#include "tests/support/TestSupport.h"

namespace tavi_i386 {

ChildRun RunToEnd(const std::wstring& commandLine, const wchar_t* workingDir, DWORD limitMs) {
    ChildRun run;
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, workingDir,
                        &startup, &info)) {
        run.error = GetLastError();
        return run;
    }
    run.started = true;
    run.processId = info.dwProcessId;
    CloseHandle(info.hThread);
    BOOL wow64 = FALSE;
    run.is32Bit = IsWow64Process(info.hProcess, &wow64) && wow64;
    run.ended = WaitForSingleObject(info.hProcess, limitMs) == WAIT_OBJECT_0;
    if (!run.ended) {
        TerminateProcess(info.hProcess, 0xDEAD);
        WaitForSingleObject(info.hProcess, INFINITE);
    }
    GetExitCodeProcess(info.hProcess, &run.exitCode);
    CloseHandle(info.hProcess);
    return run;
}

std::string DescribeExitCode(DWORD code) {
    char text[32];
    std::snprintf(text, sizeof(text), "0x%08lX", code);
    std::string description = text;
    if (code == STATUS_ILLEGAL_INSTRUCTION)
        description += " (illegal instruction: qemu older than 8 ends a 32-bit Wine process when"
                       " one thread raises an exception while another runs; tools/setup-i386.sh"
                       " installs a newer one)";
    return description;
}

std::wstring Quoted(const std::wstring& text) {
    return L"\"" + text + L"\"";
}

std::wstring PackageProductCode(const std::wstring& packagePath) {
    MSIHANDLE database = 0;
    if (MsiOpenDatabaseW(packagePath.c_str(), MSIDBOPEN_READONLY, &database) != ERROR_SUCCESS)
        return std::wstring();
    std::wstring code;
    MSIHANDLE view = 0;
    if (MsiDatabaseOpenViewW(database,
                             L"SELECT `Value` FROM `Property` WHERE `Property` = 'ProductCode'",
                             &view) == ERROR_SUCCESS) {
        MSIHANDLE record = 0;
        if (MsiViewExecute(view, 0) == ERROR_SUCCESS && MsiViewFetch(view, &record) == ERROR_SUCCESS) {
            wchar_t value[64] = L"";
            DWORD size = ARRAYSIZE(value);
            if (MsiRecordGetStringW(record, 1, value, &size) == ERROR_SUCCESS) code = value;
            MsiCloseHandle(record);
        }
        MsiCloseHandle(view);
    }
    MsiCloseHandle(database);
    return code;
}

std::wstring PackedGuid(const std::wstring& guid) {
    // {AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}: the first three groups read backwards,
    // the last two with the two characters of each byte swapped.
    if (guid.size() != 38) return std::wstring();
    const std::wstring a = guid.substr(1, 8), b = guid.substr(10, 4), c = guid.substr(15, 4);
    const std::wstring rest = guid.substr(20, 4) + guid.substr(25, 12);
    std::wstring packed(a.rbegin(), a.rend());
    packed.append(b.rbegin(), b.rend());
    packed.append(c.rbegin(), c.rend());
    for (size_t i = 0; i + 1 < rest.size(); i += 2) {
        packed += rest[i + 1];
        packed += rest[i];
    }
    return packed;
}

bool IsRegistered(const Registration& registration, REGSAM view) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, registration.key.c_str(), 0, KEY_READ | view, &key) !=
        ERROR_SUCCESS)
        return false;
    const bool found = registration.value.empty() ||
                       RegQueryValueExW(key, registration.value.c_str(), nullptr, nullptr, nullptr,
                                        nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    return found;
}

std::string Describe(const Registration& registration) {
    std::string text = "HKLM\\" + tavi_test::Narrow(registration.key);
    if (!registration.value.empty()) text += " value " + tavi_test::Narrow(registration.value);
    return text;
}

bool WriteMachineText(const std::wstring& path, const std::wstring& valueName,
                      const std::wstring& text, REGSAM view) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    const LONG result =
        RegSetValueExW(key, valueName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

DWORD InstallPackage(const std::wstring& packagePath) {
    const ChildRun run = RunToEnd(
        Quoted(tavi_test::SystemDir() + L"\\msiexec.exe") + L" /i " + Quoted(packagePath) + L" /qn",
        nullptr);
    return run.started ? run.exitCode : run.error;
}

std::wstring TempDir() {
    wchar_t path[MAX_PATH + 1] = L"";
    std::wstring dir(path, GetTempPathW(ARRAYSIZE(path), path));
    if (!dir.empty() && dir.back() == L'\\') dir.pop_back();
    return dir;
}

std::wstring LocalAppDataDir() {
    PWSTR path = nullptr;
    std::wstring dir;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, &path)))
        dir = path;
    CoTaskMemFree(path);
    return dir;
}

std::vector<std::wstring> FilesMatching(const std::wstring& folder, const wchar_t* pattern) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((folder + L"\\" + pattern).c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(entry.cFileName);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    return names;
}

std::vector<LogLine> ParseLog(const std::string& bytes) {
    static const std::regex decoration(
        R"(^\d\d:\d\d:\d\d:\d\d\d,\[t:0x[0-9A-F]+\] : *(.*) \[L=5\]\[M=MODULE\]$)");
    std::vector<LogLine> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        LogLine line;
        line.raw = bytes.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (end != std::string::npos && !line.raw.empty() && line.raw.back() == '\r') {
            line.raw.pop_back();
            line.crlf = true;
        }
        std::smatch match;
        if (std::regex_match(line.raw, match, decoration)) {
            line.decorated = true;
            line.message = match[1];
        }
        lines.push_back(line);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return lines;
}

}  // namespace tavi_i386
