#include "tests/support/StandInRecord.h"

#include "tests/support/TestSupport.h"

namespace tavi_test {

namespace {

std::wstring FromUtf8(const std::string& bytes) {
    if (bytes.empty()) return std::wstring();
    const int n = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), &wide[0], n);
    return wide;
}

}  // namespace

std::vector<RunRecord> ReadRunRecords(const std::wstring& path) {
    std::vector<RunRecord> records;
    const std::wstring text = FromUtf8(ReadFileBytes(path));
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L"\r\n", start);
        if (end == std::wstring::npos) end = text.size();
        const std::wstring line = text.substr(start, end - start);
        start = end + 2;
        const size_t firstTab = line.find(L'\t');
        const size_t secondTab = firstTab == std::wstring::npos ? firstTab : line.find(L'\t', firstTab + 1);
        RunRecord record;
        if (secondTab == std::wstring::npos) {
            record.text = line;
        } else {
            record.module = line.substr(0, firstTab);
            record.folder = line.substr(firstTab + 1, secondTab - firstTab - 1);
            record.text = line.substr(secondTab + 1);
        }
        records.push_back(record);
    }
    return records;
}

std::wstring StandInProgram() {
    return std::wstring(TestBinDir()) + L"\\standin.exe";
}

std::wstring QuillRecorder() {
    return std::wstring(TestBinDir()) + L"\\quill-recorder\\Quill.dll";
}

bool InstallStandIn(const std::wstring& path, DWORD exitCode) {
    return CopyOneFile(StandInProgram(), path) && SetStandInExitCode(path, exitCode);
}

bool SetStandInExitCode(const std::wstring& path, DWORD exitCode) {
    const std::wstring codeFile = path.substr(0, path.rfind(L'.')) + L".exitcode";
    return WriteFileBytes(codeFile, std::to_string(exitCode));
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

}  // namespace tavi_test
