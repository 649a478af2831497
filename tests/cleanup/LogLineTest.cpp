#include "cleanup/log/LogLine.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

std::string EightBit(const std::wstring& text) {
    std::string out(text.size() + 1, '\0');
    out.resize(ToEightBit(text.c_str(), static_cast<int>(text.size()), &out[0]));
    return out;
}

std::string Line(DWORD threadId, DWORD depth, const std::string& message, int level, bool pipe) {
    char line[kLogLineSize];
    const int length = FormatLogLine(line, "09:30:05:007", threadId, depth, message.c_str(), level, pipe);
    EXPECT_EQ(static_cast<int>(std::string(line).size()), length);
    return std::string(line, length > 0 ? length : 0);
}

std::set<std::wstring> takenPaths;
int takenQueries = 0;
bool IsTaken(const wchar_t* path) {
    ++takenQueries;
    return takenPaths.count(path) != 0;
}

}  // namespace

TEST(LogLineTest, EightBitTextKeepsLatin1AndMarksEveryOtherCharacter) {
    const struct { std::wstring wide; std::string bytes; } cases[] = {
        {L"", ""},
        {L"plain", "plain"},
        {L"caf\u00e9 \u00ff\u0080", "caf\xe9 \xff\x80"},
        {L"a\u0100b", "a?b"},
        {L"\u03a9mega.txt", "?mega.txt"},
        {L"x\U0001F600y", "x?y"},       // a surrogate pair is one character
        {L"x\xD800y", "x?y"},           // a lone surrogate
        {L"\u4e2d\u6587", "??"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "bytes " << c.bytes);
        EXPECT_EQ(c.bytes, EightBit(c.wide));
    }
}

TEST(LogLineTest, DecorationFieldByField) {
    const struct { DWORD thread; DWORD depth; int level; bool pipe; const char* line; } cases[] = {
        {0x24, 0, 5, false, "09:30:05:007,[t:0x24] : msg [L=5][M=MODULE]\r\n"},
        {0xABC, 3, 5, false, "09:30:05:007,[t:0xABC] :    msg [L=5][M=MODULE]\r\n"},
        {0x1f, 1, 6, true, "09:30:05:007,[t:0x1F] :  msg [L=6][M=MODULE]"},
        {0xDEADBEEF, 0, -1, true, "09:30:05:007,[t:0xDEADBEEF] : msg [L=-1][M=MODULE]"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(c.line, Line(c.thread, c.depth, "msg", c.level, c.pipe));
    }
}

TEST(LogLineTest, IndentationIsOneBlankPerDepthStepUpTo100) {
    for (DWORD depth : {0u, 1u, 3u, 99u, 100u, 150u}) {
        SCOPED_TRACE(depth);
        const std::string line = Line(1, depth, "m", 5, true);
        const size_t start = line.find(" : ") + 3;
        EXPECT_EQ(std::min<DWORD>(depth, 100), line.find('m', start) - start);
    }
}

TEST(LogLineTest, LongMessageIsCutToFitWithItsDecorationKept) {
    for (bool pipe : {false, true}) {
        for (DWORD depth : {0u, 100u}) {
            SCOPED_TRACE(testing::Message() << "pipe " << pipe << " depth " << depth);
            const std::string decoration = Line(0x24, depth, "", 5, pipe);
            const size_t room = kLogLineSize - 1 - decoration.size();
            const std::string tail = pipe ? " [L=5][M=MODULE]" : " [L=5][M=MODULE]\r\n";

            const std::string fitting(room, 'a');
            EXPECT_EQ(decoration.substr(0, decoration.size() - tail.size()) + fitting + tail,
                      Line(0x24, depth, fitting, 5, pipe));

            for (size_t extra : {size_t(1), size_t(5000)}) {
                const std::string line = Line(0x24, depth, std::string(room + extra, 'b'), 5, pipe);
                EXPECT_EQ(size_t(kLogLineSize - 1), line.size());
                EXPECT_EQ(std::string(room - 3, 'b') + "..." + tail,
                          line.substr(line.size() - tail.size() - room));
            }
        }
    }
}

TEST(LogLineTest, LogFileIsNamedAfterTheSecondItOpened) {
    SYSTEMTIME now{};
    now.wYear = 2024;
    now.wMonth = 3;
    now.wDay = 5;
    now.wHour = 9;
    now.wMinute = 30;
    now.wSecond = 5;
    now.wMilliseconds = 999;
    wchar_t path[MAX_PATH];
    ASSERT_TRUE(FormatLogFilePath(path, L"C:\\users\\me\\AppData\\Local", now));
    EXPECT_STREQ(L"C:\\users\\me\\AppData\\Local\\Scourwell.20240305.093005.txt", path);

    // The name needs 30 characters after the folder; one more than MAX_PATH allows fails.
    const std::wstring fits(MAX_PATH - 1 - 30, L'f');
    EXPECT_TRUE(FormatLogFilePath(path, fits.c_str(), now));
    EXPECT_EQ(size_t(MAX_PATH - 1), std::wstring(path).size());
    EXPECT_FALSE(FormatLogFilePath(path, (fits + L"f").c_str(), now));
}

TEST(LogLineTest, FallbackNameIsTheFirstFreeOfOneHundred) {
    const struct { int taken; const wchar_t* module; const wchar_t* found; } cases[] = {
        {0, L"C:\\setup\\Scourwell64.exe", L"C:\\setup\\Scourwell64_log00.txt"},
        {2, L"C:\\setup\\Scourwell64.exe", L"C:\\setup\\Scourwell64_log02.txt"},
        {99, L"C:\\setup\\Scourwell64.exe", L"C:\\setup\\Scourwell64_log99.txt"},
        {0, L"C:\\my.setup\\Scourwell64", L"C:\\my_log00.txt"},  // the last dot, wherever it is
        {0, L"C:\\setup\\Scourwell64", L"C:\\setup\\Scourwell64_log00.txt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.found);
        const std::wstring stem(c.found, std::wstring(c.found).size() - 10);
        takenPaths.clear();
        for (int n = 0; n < c.taken; ++n) {
            wchar_t name[16];
            swprintf(name, 16, L"_log%02d.txt", n);
            takenPaths.insert(stem + name);
        }
        wchar_t path[MAX_PATH];
        ASSERT_TRUE(FindFallbackLogPath(path, c.module, IsTaken));
        EXPECT_STREQ(c.found, path);
    }
}

TEST(LogLineTest, FallbackSearchStopsAfterLog99) {
    takenQueries = 0;
    wchar_t path[MAX_PATH];
    EXPECT_FALSE(FindFallbackLogPath(path, L"C:\\setup\\Scourwell64.exe",
                                     [](const wchar_t*) { ++takenQueries; return true; }));
    EXPECT_EQ(100, takenQueries);
}

TEST(LogLineTest, FallbackNameThatDoesNotFitIsNoName) {
    // "C:\" + folder + "\S_log00.txt" is 15 characters beside the folder's own.
    const std::wstring folder = L"C:\\" + std::wstring(MAX_PATH - 1 - 15, L'd') + L"\\";
    wchar_t path[MAX_PATH];
    takenPaths.clear();
    EXPECT_TRUE(FindFallbackLogPath(path, (folder + L"S.exe").c_str(), IsTaken));
    EXPECT_EQ(size_t(MAX_PATH - 1), std::wstring(path).size());
    EXPECT_FALSE(FindFallbackLogPath(path, (folder + L"Sx.exe").c_str(), IsTaken));
}
