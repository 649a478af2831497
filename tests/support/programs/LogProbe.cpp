// Opens the cleanup log in a process of its own and writes one trace scope around one
// message. Arguments: --scope-level=N gives the scope's level (default 5);
// --exhaust-tls takes every thread-local index first, so the log gets none.
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "cleanup/log/CLOGFile.h"
#include "cleanup/log/TraceScope.h"

int main(int argc, char** argv) {
    int level = 5;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--scope-level=", 14) == 0) level = std::atoi(argv[i] + 14);
        if (std::strcmp(argv[i], "--exhaust-tls") == 0)
            while (TlsAlloc() != TLS_OUT_OF_INDEXES) {}
    }
    {
        TraceScope scope(level, L"LogProbe()");
        CLOGFile::Instance().Log(L"inside the scope");
    }
    return 0;
}
