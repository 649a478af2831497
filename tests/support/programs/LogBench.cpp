// Writes lines through the cleanup log as fast as it can and prints the rate.
// Arguments: file|pipe and the number of lines. In pipe mode this program serves the log
// pipe itself, reading every message on a thread of its own.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cleanup/log/CLOGFile.h"

namespace {

DWORD WINAPI ServePipe(LPVOID pipe) {
    ConnectNamedPipe(pipe, nullptr);
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(pipe, buffer, sizeof(buffer), &read, nullptr)) {}
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: LogBench file|pipe LINES\n");
        return 2;
    }
    const bool pipe = std::strcmp(argv[1], "pipe") == 0;
    const int lines = std::atoi(argv[2]);
    HANDLE server = INVALID_HANDLE_VALUE;
    HANDLE reader = nullptr;
    if (pipe) {
        server = CreateNamedPipeW(L"\\\\.\\pipe\\KOVA_Tavi_IP1", PIPE_ACCESS_INBOUND,
                                  PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, 0, 65536, 0,
                                  nullptr);
        if (server == INVALID_HANDLE_VALUE) return 1;
        reader = CreateThread(nullptr, 0, ServePipe, server, 0, nullptr);
    }
    CLOGFile& log = CLOGFile::Instance();
    if (!log.IsOpen()) return 1;

    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    for (int i = 0; i < lines; ++i)
        log.Log(L"Deleting: C:\\Program Files\\Vardo Corporation\\Vardo Tavi\\file%05d.dat (%d of %d)", i, i + 1,
                lines);
    QueryPerformanceCounter(&end);
    const double seconds = double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);
    std::printf("%s: %d lines in %.3f s, %.0f lines/s\n", pipe ? "pipe" : "file", lines, seconds,
                lines / seconds);
    std::fflush(stdout);
    if (pipe) {
        log.Close();
        // The pipe end closes with the log object at exit; the reader then ends.
        TerminateThread(reader, 0);
        CloseHandle(reader);
        CloseHandle(server);
    }
    return 0;
}
