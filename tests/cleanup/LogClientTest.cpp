// The log client as this test process sees it: no log server runs in the test prefix and
// no "LogLevel" is set, so the log is the local application data file at level 6.
#include "cleanup/log/CLOGFile.h"
#include "cleanup/log/TraceScope.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "tests/support/LogCapture.h"
#include "tests/support/TestSupport.h"

using tavi_test::LogCapture;

namespace {

class LogClientTest : public testing::Test {
protected:
    void SetUp() override { CLOGFile::Instance().SetDepth(0); }
    void TearDown() override { CLOGFile::Instance().SetDepth(0); }

    LogCapture log_;
};

std::string Hex(DWORD value, const char* format) {
    char text[16];
    std::snprintf(text, sizeof(text), format, static_cast<unsigned>(value));
    return text;
}

std::string Rule() { return std::string(53, '='); }

}  // namespace

TEST_F(LogClientTest, LineCarriesTimeThreadMessageLevelAndModule) {
    const std::string start = log_.Path().empty() ? "" : tavi_test::ReadFileBytes(log_.Path());
    CLOGFile::Instance().Log(L"plain %s %d", L"text", 7);
    const std::string bytes = tavi_test::ReadFileBytes(log_.Path()).substr(start.size());

    const std::regex format("([0-9]{2}):([0-9]{2}):([0-9]{2}):[0-9]{3},\\[t:0x" +
                            Hex(GetCurrentThreadId(), "%X") +
                            "\\] : plain text 7 \\[L=5\\]\\[M=MODULE\\]\r\n");
    std::smatch parts;
    ASSERT_TRUE(std::regex_match(bytes, parts, format)) << bytes;
    EXPECT_LT(std::stoi(parts[1]), 24);
    EXPECT_LT(std::stoi(parts[2]), 60);
    EXPECT_LT(std::stoi(parts[3]), 60);
}

TEST_F(LogClientTest, FileStartsWithTheHeader) {
    const std::wstring name = log_.Path().substr(log_.Path().rfind(L'\\') + 1);
    std::wsmatch stamp;
    ASSERT_TRUE(std::regex_match(name, stamp, std::wregex(L"Scourwell\\.(\\d{4})(\\d\\d)(\\d\\d)\\.\\d{6}\\.txt")))
        << tavi_test::Narrow(name);

    std::vector<std::string> header;
    const std::string bytes = tavi_test::ReadFileBytes(log_.Path());
    for (size_t start = 0, end; header.size() < 6 && (end = bytes.find("\r\n", start)) != std::string::npos;
         start = end + 2)
        header.push_back(LogCapture::MessageOf(bytes.substr(start, end - start)));
    ASSERT_EQ(6u, header.size());

    wchar_t module[MAX_PATH];
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    EXPECT_EQ(Rule(), header[0]);
    EXPECT_TRUE(std::regex_match(header[1], std::regex("Log started on " + tavi_test::Narrow(stamp[3]) + "\\." +
                                                       tavi_test::Narrow(stamp[2]) + "\\." +
                                                       tavi_test::Narrow(stamp[1]) +
                                                       ", at \\d\\d:\\d\\d:\\d\\d:\\d{3}")))
        << header[1];
    EXPECT_EQ("Executable: " + tavi_test::Narrow(module), header[2]);
    EXPECT_TRUE(std::regex_match(header[3], std::regex("Compile time : (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|"
                                                       "Oct|Nov|Dec) [ 123]\\d \\d{4} \\d\\d:\\d\\d:\\d\\d")))
        << header[3];
    EXPECT_EQ("ProcessID: " + Hex(GetCurrentProcessId(), "0x%x"), header[4]);
    EXPECT_EQ(Rule(), header[5]);
}

TEST_F(LogClientTest, IndentationFollowsTheThreadsDepth) {
    for (DWORD depth : {0u, 1u, 3u, 100u}) {
        CLOGFile::Instance().SetDepth(depth);
        CLOGFile::Instance().Log(L"at depth %u", depth);
    }
    const std::vector<std::string> lines = log_.NewLines();
    ASSERT_EQ(4u, lines.size());
    const int expected[] = {0, 1, 3, 100};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(expected[i], LogCapture::IndentationOf(lines[i])) << lines[i];
        EXPECT_EQ("at depth " + std::to_string(expected[i]), LogCapture::MessageOf(lines[i]));
    }
}

TEST_F(LogClientTest, ScopeIndentsWhatLiesInsideByOneBlank) {
    for (DWORD depth : {0u, 3u}) {
        SCOPED_TRACE(depth);
        CLOGFile::Instance().SetDepth(depth);
        {
            TraceScope scope(5, L"Routine()");
            EXPECT_EQ(depth + 1, CLOGFile::Instance().Depth());
            CLOGFile::Instance().Log(L"inside");
        }
        EXPECT_EQ(depth, CLOGFile::Instance().Depth());
        const std::vector<std::string> lines = log_.NewLines();
        ASSERT_EQ(3u, lines.size());
        const char* messages[] = {">>[Routine()]", "inside", "<<[Routine()]"};
        const int indentation[] = {int(depth), int(depth) + 1, int(depth)};
        for (size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(messages[i], LogCapture::MessageOf(lines[i]));
            EXPECT_EQ(indentation[i], LogCapture::IndentationOf(lines[i])) << lines[i];
        }
    }
}

TEST_F(LogClientTest, DepthStaysWithinZeroAnd100) {
    CLOGFile::Instance().SetDepth(100);
    {
        TraceScope scope(5, L"AtTheLimit()");
        EXPECT_EQ(100u, CLOGFile::Instance().Depth());
        CLOGFile::Instance().Log(L"inside");
    }
    EXPECT_EQ(99u, CLOGFile::Instance().Depth());
    {
        TraceScope scope(5, L"ResetInside()");
        CLOGFile::Instance().SetDepth(0);
    }
    EXPECT_EQ(0u, CLOGFile::Instance().Depth());

    const std::vector<std::string> lines = log_.NewLines();
    ASSERT_EQ(5u, lines.size());
    const int indentation[] = {100, 100, 99, 99, 0};
    const char* messages[] = {">>[AtTheLimit()]", "inside", "<<[AtTheLimit()]", ">>[ResetInside()]",
                              "<<[ResetInside()]"};
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(messages[i], LogCapture::MessageOf(lines[i]));
        EXPECT_EQ(indentation[i], LogCapture::IndentationOf(lines[i])) << lines[i];
    }
}

TEST_F(LogClientTest, LevelAboveTheConfiguredSixIsNotWritten) {
    { TraceScope scope(7, L"Quiet()"); }
    { TraceScope scope(6, L"Loud()"); }
    CLOGFile::Instance().Log(7, L"level seven");
    CLOGFile::Instance().Log(6, L"level six");
    CLOGFile::Instance().WriteLine(7, "line seven");
    const std::vector<std::string> lines = log_.NewLines();
    const std::vector<std::string> expected = {
        ">>[Quiet()] [L=5]", ">>[Loud()] [L=5]", "<<[Loud()] [L=6]", "level six [L=6]"};
    ASSERT_EQ(expected.size(), lines.size());
    for (size_t i = 0; i < lines.size(); ++i)
        EXPECT_NE(std::string::npos, lines[i].find(" : " + expected[i] + "[M=MODULE]")) << lines[i];
}

TEST_F(LogClientTest, CharacterAboveFFBecomesAQuestionMark) {
    CLOGFile::Instance().Log(L"Deleting %s", L"C:\\caf\u00e9\\\u03a9mega.txt");
    CLOGFile::Instance().Log("8-bit %s", "caf\xe9");
    const std::vector<std::string> messages = log_.NewMessages();
    ASSERT_EQ(2u, messages.size());
    EXPECT_EQ("Deleting C:\\caf\xe9\\?mega.txt", messages[0]);
    EXPECT_EQ("8-bit caf\xe9", messages[1]);
}

TEST_F(LogClientTest, LongMessageIsCutToALineOf1023Bytes) {
    const std::wstring wide = L"Deleting C:\\" + std::wstring(3000, L'w');
    const std::string narrow = "Deleting C:\\" + std::string(3000, 'n');
    CLOGFile::Instance().SetDepth(3);
    CLOGFile::Instance().Log(L"%s", wide.c_str());
    CLOGFile::Instance().Log("%s", narrow.c_str());
    CLOGFile::Instance().SetDepth(0);
    CLOGFile::Instance().Log(L"after");

    const std::vector<std::string> lines = log_.NewLines();
    ASSERT_EQ(3u, lines.size());
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(1021u, lines[i].size());  // 1,023 with its CR LF
        EXPECT_EQ(3, LogCapture::IndentationOf(lines[i]));
        const std::string message = LogCapture::MessageOf(lines[i]);
        EXPECT_EQ("Deleting C:\\", message.substr(0, 12));
        EXPECT_EQ(std::string(20, i == 0 ? 'w' : 'n') + "...", message.substr(message.size() - 23));
        EXPECT_EQ(" [L=5][M=MODULE]", lines[i].substr(lines[i].size() - 16));
    }
    EXPECT_EQ("after", LogCapture::MessageOf(lines[2]));
}
