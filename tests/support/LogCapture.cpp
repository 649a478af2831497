#include "tests/support/LogCapture.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include "cleanup/log/CLOGFile.h"
#include "tests/support/TestSupport.h"

namespace tavi_test {

namespace {

// The newest Scourwell.*.txt in the local application data folder.
std::wstring FindLogFile() {
    PWSTR folder = nullptr;
    if (FAILED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &folder))) return std::wstring();
    const std::wstring dir = folder;
    CoTaskMemFree(folder);
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((dir + L"\\Scourwell.*.txt").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return std::wstring();
    std::wstring newest;
    FILETIME newestTime{};
    do {
        if (newest.empty() || CompareFileTime(&entry.ftLastWriteTime, &newestTime) > 0) {
            newest = dir + L"\\" + entry.cFileName;
            newestTime = entry.ftLastWriteTime;
        }
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    return newest;
}

}  // namespace

LogCapture::LogCapture() {
    CLOGFile::Instance();
    path_ = FindLogFile();
    mark_ = ReadFileBytes(path_).size();
}

std::vector<std::string> LogCapture::NewLines() {
    const std::string bytes = ReadFileBytes(path_);
    std::vector<std::string> lines;
    size_t start = mark_;
    for (size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(bytes.substr(start, end - start));
    mark_ = start;
    return lines;
}

std::vector<std::string> LogCapture::NewMessages() {
    std::vector<std::string> messages;
    for (const std::string& line : NewLines()) messages.push_back(MessageOf(line));
    return messages;
}

std::string LogCapture::MessageOf(const std::string& line) {
    const size_t start = line.find(" : ");
    const size_t end = line.rfind(" [L=");
    if (start == std::string::npos || end == std::string::npos || end < start + 3) return line;
    std::string message = line.substr(start + 3, end - start - 3);
    return message.substr(message.find_first_not_of(' ') == std::string::npos ? message.size()
                                                                               : message.find_first_not_of(' '));
}

int LogCapture::IndentationOf(const std::string& line) {
    const size_t start = line.find(" : ");
    if (start == std::string::npos) return -1;
    int blanks = 0;
    for (size_t i = start + 3; i < line.size() && line[i] == ' '; ++i) ++blanks;
    return blanks;
}

}  // namespace tavi_test
