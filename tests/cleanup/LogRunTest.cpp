// The log client in processes of its own: the real cleanup tool (Scourwell64.exe from
// build/media-x64) and the log probe, with "LogLevel", a log pipe server and an unusable
// local application data folder arranged by the test.
#include <windows.h>

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "tests/support/LogCapture.h"
#include "tests/support/RunLog.h"
#include "tests/support/TestSupport.h"

using tavi_test::LogCapture;

namespace {

const wchar_t kShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
const wchar_t kPipeName[] = L"\\\\.\\pipe\\KOVA_Tavi_IP1";
const std::string kRule(53, '=');

std::wstring Scourwell64() { return std::wstring(tavi_test::MediaX64Dir()) + L"\\Scourwell64.exe"; }
std::wstring LogProbe() { return std::wstring(tavi_test::TestBinDir()) + L"\\LogProbe.exe"; }

bool Contains(const std::vector<std::string>& messages, const std::string& message) {
    for (const std::string& m : messages)
        if (m == message) return true;
    return false;
}

// What a log pipe server created before the program starts receives from it.
struct PipeRun {
    bool started = false;
    DWORD exitCode = 0;
    std::vector<std::string> messages;  // one per read: message mode keeps writes apart
    bool closedAfterLastMessage = false;
};

// Waits for an overlapped operation on pipe; false on a timeout or failure (GetLastError).
bool Finish(HANDLE pipe, OVERLAPPED& overlapped, BOOL started, DWORD* transferred) {
    if (!started && GetLastError() != ERROR_IO_PENDING) return false;
    if (WaitForSingleObject(overlapped.hEvent, 30000) != WAIT_OBJECT_0) {
        CancelIo(pipe);
        SetLastError(WAIT_TIMEOUT);
        return false;
    }
    return GetOverlappedResult(pipe, &overlapped, transferred, FALSE) != FALSE;
}

PipeRun RunAgainstPipeServer(const std::wstring& program) {
    PipeRun run;
    HANDLE pipe = CreateNamedPipeW(kPipeName, PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED,
                                   PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, 0, 4096, 0,
                                   nullptr);
    if (pipe == INVALID_HANDLE_VALUE) return run;
    OVERLAPPED overlapped{};
    overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);

    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    run.started = CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                                 nullptr, &startup, &process) != FALSE;
    DWORD transferred = 0;
    const BOOL connecting = ConnectNamedPipe(pipe, &overlapped);
    if (run.started && (GetLastError() == ERROR_PIPE_CONNECTED ||
                        Finish(pipe, overlapped, connecting, &transferred))) {
        for (;;) {
            char buffer[4096];
            ResetEvent(overlapped.hEvent);
            const BOOL reading = ReadFile(pipe, buffer, sizeof(buffer), nullptr, &overlapped);
            if (!Finish(pipe, overlapped, reading, &transferred)) {
                run.closedAfterLastMessage = GetLastError() == ERROR_BROKEN_PIPE;
                break;
            }
            run.messages.emplace_back(buffer, transferred);
        }
    }
    if (run.started) {
        WaitForSingleObject(process.hProcess, 60000);
        GetExitCodeProcess(process.hProcess, &run.exitCode);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    CloseHandle(overlapped.hEvent);
    CloseHandle(pipe);
    return run;
}

// The message of a line with every digit masked, to compare runs that differ in time and ids.
std::string MaskedMessage(const std::string& line) {
    std::string message = std::regex_replace(LogCapture::MessageOf(line), std::regex("0x[0-9a-fA-F]+"), "0x#");
    for (char& c : message)
        if (c >= '0' && c <= '9') c = '#';
    return message;
}

class LogRunTest : public testing::Test {
protected:
    void SetUp() override {
        tavi_test::DeleteRunLogs();
        tavi_test::SetLogLevel(-1);
    }
    void TearDown() override {
        tavi_test::DeleteRunLogs();
        tavi_test::SetLogLevel(-1);
        if (!savedLocalAppData_.empty()) {
            RegSetKeyValueW(HKEY_CURRENT_USER, kShellFolders, L"Local AppData", REG_EXPAND_SZ,
                            savedLocalAppData_.c_str(),
                            static_cast<DWORD>((savedLocalAppData_.size() + 1) * sizeof(wchar_t)));
            DeleteFileW(L"C:\\blocker.txt");
        }
        for (const std::wstring& dir : dirs_) tavi_test::RemoveTree(dir);
    }

    // Points the local application data folder below a file, so it cannot be created.
    void BlockLocalAppData() {
        wchar_t saved[MAX_PATH];
        DWORD size = sizeof(saved);
        ASSERT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_CURRENT_USER, kShellFolders, L"Local AppData",
                                              RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, saved, &size));
        savedLocalAppData_ = saved;
        ASSERT_TRUE(tavi_test::WriteFileBytes(L"C:\\blocker.txt", "x"));
        const wchar_t blocked[] = L"C:\\blocker.txt\\AppData";
        ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueW(HKEY_CURRENT_USER, kShellFolders, L"Local AppData",
                                                 REG_EXPAND_SZ, blocked, sizeof(blocked)));
    }

    // A fresh folder holding a copy of Scourwell64.exe; removed after the test.
    std::wstring CopyScourwellTo(const std::wstring& dir) {
        EXPECT_TRUE(tavi_test::CreateFolders(dir));
        dirs_.push_back(dir);
        const std::wstring copy = dir + L"\\Scourwell64.exe";
        EXPECT_TRUE(tavi_test::CopyOneFile(Scourwell64(), copy));
        return copy;
    }

    std::wstring savedLocalAppData_;
    std::vector<std::wstring> dirs_;
};

}  // namespace

TEST_F(LogRunTest, FileRunHasHeaderFirstCrLfLinesAndClosingLineLast) {
    const tavi_test::ProcessResult run = tavi_test::RunProgram(Scourwell64());
    ASSERT_TRUE(run.started);
    EXPECT_EQ(0u, run.exitCode);

    const std::vector<std::wstring> files = tavi_test::RunLogFiles();
    ASSERT_EQ(1u, files.size());
    EXPECT_TRUE(std::regex_match(tavi_test::Narrow(files[0]),
                                 std::regex(".*\\\\Scourwell\\.20\\d{6}\\.\\d{6}\\.txt")));
    const std::string bytes = tavi_test::ReadFileBytes(files[0]);
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ("\r\n", bytes.substr(bytes.size() - 2));
    const std::vector<std::string> lines = tavi_test::SplitLogLines(bytes);
    for (const std::string& line : lines) {
        EXPECT_EQ(std::string::npos, line.find_first_of("\r\n")) << line;
        EXPECT_TRUE(std::regex_match(line, std::regex("\\d\\d:\\d\\d:\\d\\d:\\d{3},\\[t:0x[0-9A-F]+\\] : .* "
                                                      "\\[L=5\\]\\[M=MODULE\\]")))
            << line;
    }
    const std::vector<std::string> messages = tavi_test::MessagesOf(lines);
    ASSERT_GE(messages.size(), 8u);
    EXPECT_EQ(kRule, messages[0]);
    EXPECT_EQ(0u, messages[1].find("Log started on "));
    EXPECT_EQ("Executable: " + tavi_test::Narrow(Scourwell64()), messages[2]);
    EXPECT_EQ(0u, messages[3].find("Compile time : "));
    std::smatch pid;
    ASSERT_TRUE(std::regex_match(messages[4], pid, std::regex("ProcessID: (0x[0-9a-f]+)"))) << messages[4];
    EXPECT_EQ(kRule, messages[5]);
    EXPECT_TRUE(std::regex_match(messages.back(),
                                 std::regex("LogClient finished - PID:" + pid[1].str() + " TID:0x[0-9a-f]+")))
        << messages.back();
}

TEST_F(LogRunTest, PipeGetsTheSameLinesOneWriteEachAndClosesAfterTheLast) {
    tavi_test::RunProgram(Scourwell64());
    const std::vector<std::string> fileLines = tavi_test::OnlyRunLogLines();
    tavi_test::DeleteRunLogs();

    const PipeRun run = RunAgainstPipeServer(Scourwell64());
    ASSERT_TRUE(run.started);
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_TRUE(tavi_test::RunLogFiles().empty());
    ASSERT_EQ(fileLines.size(), run.messages.size());
    for (size_t i = 0; i < run.messages.size(); ++i) {
        const std::string& message = run.messages[i];
        EXPECT_LE(message.size(), 1023u);
        EXPECT_TRUE(std::regex_match(message, std::regex("\\d\\d:\\d\\d:\\d\\d:\\d{3},\\[t:0x[0-9A-F]+\\] : "
                                                         "[^\r\n]* \\[L=5\\]\\[M=MODULE\\]")))
            << message;
        EXPECT_EQ(MaskedMessage(fileLines[i]), MaskedMessage(message));
    }
    EXPECT_EQ(0u, LogCapture::MessageOf(run.messages.back()).find("LogClient finished - PID:"));
    EXPECT_TRUE(run.closedAfterLastMessage);
}

TEST_F(LogRunTest, LogLevelFiltersEveryLineOfTheProgram) {
    tavi_test::RunProgram(Scourwell64());
    const size_t fullRun = tavi_test::OnlyRunLogLines().size();
    ASSERT_GT(fullRun, 8u);

    const struct { int level; bool written; } cases[] = {{4, false}, {0, false}, {5, true}, {6, true}, {-1, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "LogLevel " << c.level);
        tavi_test::DeleteRunLogs();
        tavi_test::SetLogLevel(c.level);
        EXPECT_EQ(0u, tavi_test::RunProgram(Scourwell64()).exitCode);
        // The file is created even when nothing may be written to it.
        EXPECT_EQ(c.written ? fullRun : 0u, tavi_test::OnlyRunLogLines().size());
    }
}

TEST_F(LogRunTest, ExitLineCarriesTheScopesLevel) {
    const struct { int configured; int scope; bool exitWritten; } cases[] = {
        {5, 6, false}, {6, 6, true}, {5, 5, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "LogLevel " << c.configured << ", scope " << c.scope);
        tavi_test::DeleteRunLogs();
        tavi_test::SetLogLevel(c.configured);
        EXPECT_EQ(0u, tavi_test::RunProgram(LogProbe(), L"--scope-level=" + std::to_wstring(c.scope)).exitCode);
        const std::vector<std::string> lines = tavi_test::OnlyRunLogLines();
        const std::vector<std::string> messages = tavi_test::MessagesOf(lines);
        EXPECT_TRUE(Contains(messages, ">>[LogProbe()]"));
        EXPECT_TRUE(Contains(messages, "inside the scope"));
        EXPECT_EQ(c.exitWritten, Contains(messages, "<<[LogProbe()]"));
        EXPECT_EQ(0u, messages.back().find("LogClient finished"));
    }
}

TEST_F(LogRunTest, WithoutAThreadLocalIndexLinesHaveNoIndentation) {
    const tavi_test::ProcessResult run = tavi_test::RunProgram(LogProbe(), L"--no-tls-index");
    ASSERT_TRUE(run.started);
    EXPECT_EQ(0u, run.exitCode);
    const std::vector<std::string> lines = tavi_test::OnlyRunLogLines();
    ASSERT_EQ(10u, lines.size());
    const char* scope[] = {">>[LogProbe()]", "inside the scope", "<<[LogProbe()]"};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(scope[i], LogCapture::MessageOf(lines[6 + i]));
        EXPECT_EQ(0, LogCapture::IndentationOf(lines[6 + i])) << lines[6 + i];
    }
}

TEST_F(LogRunTest, TwoRunsInOneSecondShareAFile) {
    // The runs must start within one second of the clock; a pair that straddles a second
    // boundary is tried again.
    for (int attempt = 0; attempt < 10; ++attempt) {
        tavi_test::DeleteRunLogs();
        SYSTEMTIME now;
        do {
            Sleep(1);
            GetLocalTime(&now);
        } while (now.wMilliseconds > 50);
        tavi_test::RunProgram(Scourwell64());
        tavi_test::RunProgram(Scourwell64());
        if (tavi_test::RunLogFiles().size() != 1) continue;

        const std::vector<std::string> messages = tavi_test::MessagesOf(tavi_test::OnlyRunLogLines());
        std::vector<size_t> headers, closings;
        for (size_t i = 0; i < messages.size(); ++i) {
            if (messages[i].find("Log started on ") == 0) headers.push_back(i);
            if (messages[i].find("LogClient finished") == 0) closings.push_back(i);
        }
        ASSERT_EQ(2u, headers.size());
        ASSERT_EQ(2u, closings.size());
        EXPECT_EQ(messages.size() / 2, closings[0] + 1);
        EXPECT_EQ(closings[0] + 2, headers[1]);
        EXPECT_EQ(messages.size() - 1, closings[1]);
        return;
    }
    FAIL() << "no two runs started within one second";
}

TEST_F(LogRunTest, UnusableLocalAppDataGivesTheFirstFreeFileBesideTheProgram) {
    BlockLocalAppData();
    const std::wstring dir = tavi_test::MakeTempDir(L"fallback");
    const std::wstring program = CopyScourwellTo(dir);
    ASSERT_TRUE(tavi_test::WriteFileBytes(dir + L"\\Scourwell64_log00.txt", "earlier\r\n"));

    EXPECT_EQ(0u, tavi_test::RunProgram(program).exitCode);
    EXPECT_EQ("earlier\r\n", tavi_test::ReadFileBytes(dir + L"\\Scourwell64_log00.txt"));
    const std::vector<std::string> messages =
        tavi_test::MessagesOf(tavi_test::SplitLogLines(tavi_test::ReadFileBytes(dir + L"\\Scourwell64_log01.txt")));
    ASSERT_GT(messages.size(), 8u);
    EXPECT_EQ("Executable: " + tavi_test::Narrow(program), messages[2]);
    EXPECT_EQ(0u, messages.back().find("LogClient finished"));
    EXPECT_TRUE(tavi_test::RunLogFiles().empty());
}

TEST_F(LogRunTest, FallbackSearchEndsAfterLog99) {
    BlockLocalAppData();
    const std::wstring dir = tavi_test::MakeTempDir(L"taken");
    const std::wstring program = CopyScourwellTo(dir);
    for (int n = 0; n < 100; ++n) {
        wchar_t name[32];
        swprintf(name, 32, L"\\Scourwell64_log%02d.txt", n);
        ASSERT_TRUE(tavi_test::WriteFileBytes(dir + name, ""));
    }
    const tavi_test::ProcessResult run = tavi_test::RunProgram(program);
    ASSERT_TRUE(run.started);
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ(0xFFFFFFFFu, GetFileAttributesW((dir + L"\\Scourwell64_log100.txt").c_str()));
    EXPECT_EQ("", tavi_test::ReadFileBytes(dir + L"\\Scourwell64_log99.txt"));
}

TEST_F(LogRunTest, FallbackNameTooLongForItsBufferMeansNoLog) {
    // The program's path fits in 260 characters; "_log00.txt" in place of ".exe" does not.
    BlockLocalAppData();
    std::wstring dir = tavi_test::MakeTempDir(L"long");
    dirs_.push_back(dir);
    dir += L"\\" + std::wstring(MAX_PATH - 3 - dir.size() - std::wstring(L"\\Scourwell64.exe").size(), L'p');
    const std::wstring program = CopyScourwellTo(dir);
    ASSERT_EQ(size_t(MAX_PATH - 2), program.size());
    const tavi_test::ProcessResult run = tavi_test::RunProgram(program);
    ASSERT_TRUE(run.started) << run.error;
    EXPECT_EQ(0u, run.exitCode);
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((dir + L"\\*.txt").c_str(), &entry);
    EXPECT_EQ(INVALID_HANDLE_VALUE, find);
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
}

TEST_F(LogRunTest, ModulePathAboveLatin1IsLoggedWithQuestionMarks) {
    const std::wstring dir = tavi_test::MakeTempDir(L"set\u03a9up");
    const std::wstring program = CopyScourwellTo(dir);
    EXPECT_EQ(0u, tavi_test::RunProgram(program).exitCode);
    std::wstring shown = program;
    shown.replace(shown.find(L'\u03a9'), 1, L"?");
    const std::vector<std::string> messages = tavi_test::MessagesOf(tavi_test::OnlyRunLogLines());
    ASSERT_GT(messages.size(), 2u);
    EXPECT_EQ("Executable: " + tavi_test::Narrow(shown), messages[2]);
}
