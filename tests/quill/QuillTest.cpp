// The log service of build/media-x64/Quill.dll, loaded into this process and fed by pipe
// clients that open and write the way the cleanup tool's log client does.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "tests/support/TestSupport.h"

using namespace tavi_test;

namespace {

const wchar_t kPipeName[] = L"\\\\.\\pipe\\KOVA_Tavi_IP1";
const wchar_t kLogName[] = L"QuillTest";

using StartLoggerFn = void(__cdecl*)(const wchar_t*, int);
using StopLoggerFn = void(__cdecl*)();

std::wstring LogPath() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + kLogName + L".log";
}

// The log's lines without their CR LF; a last line without CR LF is kept as it is.
std::vector<std::string> LogLines() {
    const std::string text = ReadFileBytes(LogPath());
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start) + "<no CR LF>");
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

bool IsServiceLine(const std::string& line, const std::string& what) {
    return line.rfind("[Quill] ", 0) == 0 && line.find(what) != std::string::npos;
}

// A write end of the log pipe, opened as the cleanup tool's log client opens it.
class PipeClient {
public:
    PipeClient()
        : pipe_(CreateFileW(kPipeName, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr)),
          error_(pipe_ == INVALID_HANDLE_VALUE ? GetLastError() : 0) {}
    ~PipeClient() { Close(); }
    PipeClient(const PipeClient&) = delete;
    PipeClient& operator=(const PipeClient&) = delete;

    bool connected() const { return pipe_ != INVALID_HANDLE_VALUE; }
    DWORD error() const { return error_; }
    bool Write(const std::string& line) {
        DWORD written = 0;
        return WriteFile(pipe_, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
               written == line.size();
    }
    void Close() {
        if (pipe_ != INVALID_HANDLE_VALUE) CloseHandle(pipe_);
        pipe_ = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE pipe_;
    DWORD error_;
};

class QuillService : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const std::wstring path = std::wstring(MediaX64Dir()) + L"\\Quill.dll";
        module_ = LoadLibraryW(path.c_str());
        ASSERT_NE(nullptr, module_) << GetLastError();
        // FARPROC goes through void (*)() so the cast to the real type draws no warning.
        startLogger_ = reinterpret_cast<StartLoggerFn>(
            reinterpret_cast<void (*)()>(GetProcAddress(module_, "StartLogger")));
        stopLogger_ = reinterpret_cast<StopLoggerFn>(reinterpret_cast<void (*)()>(GetProcAddress(module_, "StopLogger")));
        ASSERT_NE(nullptr, startLogger_);
        ASSERT_NE(nullptr, stopLogger_);
    }

    void SetUp() override {
        if (!startLogger_ || !stopLogger_) GTEST_SKIP() << "Quill.dll did not load";
        DeleteFileW(LogPath().c_str());
    }
    void TearDown() override {
        if (stopLogger_) stopLogger_();
    }

    static void Start(int mode = 0) { startLogger_(kLogName, mode); }
    static void Stop() { stopLogger_(); }

    static HMODULE module_;
    static StartLoggerFn startLogger_;
    static StopLoggerFn stopLogger_;
};

HMODULE QuillService::module_ = nullptr;
StartLoggerFn QuillService::startLogger_ = nullptr;
StopLoggerFn QuillService::stopLogger_ = nullptr;

TEST_F(QuillService, LinesOfClientsOneAfterTheOtherLandWholeAndInOrder) {
    std::string highBytes;
    for (int c = 0x80; c <= 0xFF; ++c) highBytes += static_cast<char>(c);
    const std::vector<std::string> first = {"first client line 1", std::string(1023, 'L'), highBytes,
                                            std::string(10000, 'M')};
    const std::vector<std::string> second = {"second client line 1", "", "second client line 3"};
    Start();

    for (const auto* lines : {&first, &second}) {
        PipeClient client;
        ASSERT_TRUE(client.connected()) << client.error();
        for (const std::string& line : *lines) EXPECT_TRUE(client.Write(line));
    }
    Stop();

    std::vector<std::string> expected = first;
    expected.insert(expected.end(), second.begin(), second.end());
    const std::vector<std::string> lines = LogLines();
    ASSERT_EQ(expected.size() + 2, lines.size());
    EXPECT_TRUE(IsServiceLine(lines.front(), "Serving \\\\.\\pipe\\KOVA_Tavi_IP1")) << lines.front();
    EXPECT_EQ(expected, std::vector<std::string>(lines.begin() + 1, lines.end() - 1));
    EXPECT_TRUE(IsServiceLine(lines.back(), "Stopped after 7 lines")) << lines.back();
}

TEST_F(QuillService, ServesANewClientWhileAnotherStaysConnected) {
    Start();
    PipeClient longLived;
    ASSERT_TRUE(longLived.connected()) << longLived.error();
    ASSERT_TRUE(longLived.Write("long-lived 0"));
    {
        PipeClient other;
        ASSERT_TRUE(other.connected()) << other.error();
        EXPECT_TRUE(other.Write("other"));
    }
    for (int i = 1; i <= 500; ++i) ASSERT_TRUE(longLived.Write("long-lived " + std::to_string(i)));
    longLived.Close();
    Stop();

    // Clients connected at the same time interleave as their lines arrive; each client's
    // own lines keep their order.
    std::vector<std::string> expected;
    for (int i = 0; i <= 500; ++i) expected.push_back("long-lived " + std::to_string(i));
    const std::vector<std::string> lines = LogLines();
    ASSERT_EQ(expected.size() + 3, lines.size());
    std::vector<std::string> longLivedLines;
    int otherLines = 0;
    for (auto line = lines.begin() + 1; line != lines.end() - 1; ++line) {
        if (*line == "other")
            ++otherLines;
        else
            longLivedLines.push_back(*line);
    }
    EXPECT_EQ(1, otherLines);
    EXPECT_EQ(expected, longLivedLines);
}

TEST_F(QuillService, ModeOneAppendsToTheLogAndOtherModesStartItAfresh) {
    const struct {
        int mode;
        bool keepsEarlierLines;
    } cases[] = {{1, true}, {0, false}, {2, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        ASSERT_TRUE(WriteFileBytes(LogPath(), "earlier line\r\n"));
        Start(c.mode);
        Stop();
        const std::vector<std::string> lines = LogLines();
        ASSERT_EQ(c.keepsEarlierLines ? 3u : 2u, lines.size());
        EXPECT_EQ(c.keepsEarlierLines, lines[0] == "earlier line");
    }
}

TEST_F(QuillService, StopLoggerTwiceOrWithoutStartIsHarmlessAndFreesThePipeName) {
    Stop();
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(LogPath().c_str()));

    Start();
    Stop();
    Stop();
    {
        PipeClient afterStop;
        EXPECT_FALSE(afterStop.connected());
        EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), afterStop.error());
    }

    Start(1);
    {
        PipeClient again;
        ASSERT_TRUE(again.connected()) << again.error();
        EXPECT_TRUE(again.Write("after a restart"));
    }
    Stop();
    Stop();
    const std::vector<std::string> lines = LogLines();
    ASSERT_EQ(5u, lines.size());
    EXPECT_EQ("after a restart", lines[3]);
}

TEST_F(QuillService, DoesNotShareAPipeNameThatAnotherServerHolds) {
    // One instance: every host refuses the service its first instance. Four: hosts that
    // ignore FILE_FLAG_FIRST_PIPE_INSTANCE would let the service share the name.
    for (const DWORD squatterInstances : {1ul, 4ul}) {
        SCOPED_TRACE(squatterInstances);
        DeleteFileW(LogPath().c_str());
        const HANDLE squatter = CreateNamedPipeW(kPipeName, PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED,
                                                 PIPE_TYPE_MESSAGE, squatterInstances, 0, 0, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, squatter);

        Start();
        {
            // The one client lands on the squatter's instance, not on a service instance.
            PipeClient client;
            ASSERT_TRUE(client.connected()) << client.error();
            OVERLAPPED overlapped{};
            EXPECT_FALSE(ConnectNamedPipe(squatter, &overlapped));
            EXPECT_EQ(static_cast<DWORD>(ERROR_PIPE_CONNECTED), GetLastError());
        }
        Stop();
        CloseHandle(squatter);

        const std::vector<std::string> lines = LogLines();
        ASSERT_EQ(1u, lines.size());
        EXPECT_TRUE(IsServiceLine(lines[0], "Cannot serve \\\\.\\pipe\\KOVA_Tavi_IP1")) << lines[0];
    }
}

TEST_F(QuillService, StopLoggerLetsAConnectedClientFinishWithinABoundedWait) {
    Start();
    PipeClient finishing;
    ASSERT_TRUE(finishing.connected()) << finishing.error();
    ASSERT_TRUE(finishing.Write("before the stop"));

    ULONGLONG stopTook = 0;
    std::thread stopper([&stopTook] {
        const ULONGLONG start = GetTickCount64();
        Stop();
        stopTook = GetTickCount64() - start;
    });
    Sleep(300);
    EXPECT_TRUE(finishing.Write("during the stop"));
    finishing.Close();
    stopper.join();

    EXPECT_LT(stopTook, 2500u);
    const std::vector<std::string> lines = LogLines();
    ASSERT_EQ(4u, lines.size());
    EXPECT_EQ("before the stop", lines[1]);
    EXPECT_EQ("during the stop", lines[2]);
    EXPECT_TRUE(IsServiceLine(lines[3], "Stopped after 2 lines")) << lines[3];
}

TEST_F(QuillService, StopLoggerCutsOffAClientThatNeverFinishes) {
    Start();
    PipeClient lingering;
    ASSERT_TRUE(lingering.connected()) << lingering.error();
    ASSERT_TRUE(lingering.Write("still connected"));

    const ULONGLONG start = GetTickCount64();
    Stop();
    const ULONGLONG stopTook = GetTickCount64() - start;

    EXPECT_GE(stopTook, 2500u);
    EXPECT_LT(stopTook, 8000u);
    EXPECT_FALSE(lingering.Write("after the stop"));
    const std::vector<std::string> lines = LogLines();
    ASSERT_EQ(3u, lines.size());
    EXPECT_EQ("still connected", lines[1]);
}

}  // namespace
