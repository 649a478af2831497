// The log client's pipe end in this test process: how it opens the log pipe, and what
// its pipe writer sends. The first CLOGFile::Instance call of this program is made here,
// with a log pipe server already listening.
#include "cleanup/log/CLOGFile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/ImportPatch.h"

namespace {

const wchar_t kPipeName[] = L"\\\\.\\pipe\\KOVA_Tavi_IP1";

HANDLE MakeServer(const wchar_t* name) {
    return CreateNamedPipeW(name, PIPE_ACCESS_INBOUND, PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT,
                            1, 0, 4096, 0, nullptr);
}

// The messages waiting in server, one per write, without blocking.
std::vector<std::string> Waiting(HANDLE server) {
    std::vector<std::string> messages;
    DWORD available = 0;
    while (PeekNamedPipe(server, nullptr, 0, nullptr, &available, nullptr) && available) {
        char buffer[4096];
        DWORD read = 0;
        if (!ReadFile(server, buffer, sizeof(buffer), &read, nullptr)) break;
        messages.emplace_back(buffer, read);
    }
    return messages;
}

struct PipeOpen {
    int calls = 0;
    DWORD access = 0, share = 0, disposition = 0, flags = 0;
    bool securityAttributes = true;
} pipeOpen;

tavi_test::ImportPatch* createFilePatch = nullptr;

HANDLE WINAPI RecordingCreateFileW(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                   DWORD disposition, DWORD flags, HANDLE templateFile) {
    if (name && std::wstring(name) == kPipeName) {
        ++pipeOpen.calls;
        pipeOpen.access = access;
        pipeOpen.share = share;
        pipeOpen.securityAttributes = security != nullptr;
        pipeOpen.disposition = disposition;
        pipeOpen.flags = flags;
    }
    return createFilePatch->Original<decltype(&CreateFileW)>()(name, access, share, security, disposition,
                                                                flags, templateFile);
}

}  // namespace

TEST(LogPipeTest, PipeIsOpenedForWritingAndIdentificationOnly) {
    HANDLE server = MakeServer(kPipeName);
    ASSERT_NE(INVALID_HANDLE_VALUE, server);
    {
        tavi_test::ImportPatch patch("kernel32.dll", "CreateFileW", reinterpret_cast<void*>(RecordingCreateFileW));
        ASSERT_TRUE(patch.Active());
        createFilePatch = &patch;
        CLOGFile::Instance();
        createFilePatch = nullptr;
    }
    EXPECT_TRUE(CLOGFile::Instance().IsOpen());
    EXPECT_EQ(1, pipeOpen.calls);
    EXPECT_EQ(DWORD(GENERIC_WRITE), pipeOpen.access);
    EXPECT_EQ(0u, pipeOpen.share);
    EXPECT_FALSE(pipeOpen.securityAttributes);
    EXPECT_EQ(DWORD(OPEN_EXISTING), pipeOpen.disposition);
    EXPECT_EQ(DWORD(FILE_ATTRIBUTE_NORMAL | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION), pipeOpen.flags);

    // Pipe mode: the header arrived as six writes without line ends.
    const std::vector<std::string> header = Waiting(server);
    ASSERT_EQ(6u, header.size());
    for (const std::string& line : header) {
        EXPECT_EQ(std::string::npos, line.find_first_of("\r\n")) << line;
        EXPECT_EQ(" [L=5][M=MODULE]", line.substr(line.size() - 16)) << line;
    }
    CloseHandle(server);
}

TEST(LogPipeTest, PipeWriterSendsWholeLinesOfAtMost1023Bytes) {
    const wchar_t name[] = L"\\\\.\\pipe\\TaviTracerTest";
    HANDLE server = MakeServer(name);
    ASSERT_NE(INVALID_HANDLE_VALUE, server);
    {
        CLOGFile::CTracer unopened;
        EXPECT_FALSE(unopened.Write("line"));
    }
    {
        CLOGFile::CTracer tracer;
        *tracer.Receive() = CreateFileW(name, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, tracer.Handle());
        const struct { std::string text; bool written; } cases[] = {
            {"line", true},
            {"", false},
            {std::string(1023, 'a'), true},
            {std::string(1024, 'b'), false},
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(c.text.size());
            EXPECT_EQ(c.written, tracer.Write(c.text.c_str()));
            const std::vector<std::string> received = Waiting(server);
            EXPECT_EQ(c.written ? std::vector<std::string>{c.text} : std::vector<std::string>{}, received);
        }
    }
    // The writer closed its end when it was destroyed.
    char byte;
    DWORD read = 0;
    EXPECT_FALSE(ReadFile(server, &byte, 1, &read, nullptr));
    EXPECT_EQ(DWORD(ERROR_BROKEN_PIPE), GetLastError());
    CloseHandle(server);
}
