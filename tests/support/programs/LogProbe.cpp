// Opens the cleanup log in a process of its own and writes one trace scope around one
// message. Arguments: --scope-level=N gives the scope's level (default 5);
// --no-tls-index makes the log's TlsAlloc fail, as when the process has no index left.
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "cleanup/log/CLOGFile.h"
#include "cleanup/log/TraceScope.h"
#include "tests/support/ImportPatch.h"

namespace {

DWORD WINAPI NoTlsIndex() { return TLS_OUT_OF_INDEXES; }

// Makes the thread runtime take its own thread-local index now, before the patch.
int WarmUpThreadRuntime() {
    static const int value = std::atoi("1");
    return value;
}

}  // namespace

int main(int argc, char** argv) {
    int level = 5;
    bool noTlsIndex = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--scope-level=", 14) == 0) level = std::atoi(argv[i] + 14);
        if (std::strcmp(argv[i], "--no-tls-index") == 0) noTlsIndex = true;
    }
    if (noTlsIndex) {
        WarmUpThreadRuntime();
        // Only the log's own creation is refused an index; the runtime keeps its own.
        tavi_test::ImportPatch patch("kernel32.dll", "TlsAlloc", reinterpret_cast<void*>(NoTlsIndex));
        if (!patch.Active()) return 2;
        CLOGFile::Instance();
    }
    {
        TraceScope scope(level, L"LogProbe()");
        CLOGFile::Instance().Log(L"inside the scope");
    }
    return 0;
}
