#include "quill/Quill.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <new>

// The service is built without C++ exceptions and uses no part of the C++ library that
// throws: neither export can throw, and the DLL stays small.

namespace {

constexpr wchar_t kPipeName[] = L"\\\\.\\pipe\\KOVA_Tavi_IP1";
constexpr DWORD kInstanceCount = 4;
constexpr DWORD kReadChunk = 4096;
constexpr char kLineEnd[] = "\r\n";
// How long StopLogger lets connected clients go on writing before it cuts them off.
constexpr DWORD kClientGraceMs = 3000;
// How long cut-off operations may take to report back before the service gives up on them.
constexpr DWORD kCancelGraceMs = 2000;
// Completion key of the stop request; instance keys are addresses, never this value.
constexpr ULONG_PTR kStopKey = 1;

// One server end of the pipe with the operation it has outstanding.
struct Instance {
    HANDLE pipe = INVALID_HANDLE_VALUE;
    OVERLAPPED overlapped{};
    bool pending = false;    // an operation was started and its completion packet is due
    bool connected = false;  // a client is attached; the outstanding operation is a read
    char* message = nullptr; // the parts so far of a message longer than one read (heap)
    DWORD messageLength = 0;
    bool messageCut = false; // the heap could not hold all of the message
    char chunk[kReadChunk + sizeof(kLineEnd)];
};

// The running service: the log file, the pipe instances and the thread that serves them.
// Lives from a successful StartLogger to StopLogger; left allocated when its thread does
// not finish, since the system may still write into its instances' OVERLAPPED blocks.
class LogService {
public:
    LogService() { InitializeSRWLock(&fileLock_); }
    ~LogService();
    LogService(const LogService&) = delete;
    LogService& operator=(const LogService&) = delete;

    // Opens the log file; false when it cannot be opened (the service then does not run).
    bool OpenLog(const wchar_t* name, int mode);
    // Creates the pipe instances and starts the serving thread; false (with the reason in
    // the log) when the pipe cannot be served.
    bool Serve();
    // Stops accepting clients, waits a bounded time for connected ones and ends the thread;
    // false when the thread did not end or left operations outstanding (the service must
    // then stay allocated).
    bool Stop();
    // Flushes and closes the log file; later lines are dropped.
    void CloseLog();

private:
    static DWORD WINAPI ThreadMain(void* self);
    void Run();
    void Listen(Instance& instance);
    void Read(Instance& instance);
    void EndClient(Instance& instance);
    void Complete(Instance& instance, DWORD error, DWORD bytes);
    void AppendToMessage(Instance& instance, DWORD bytes);
    void DeliverMessage(Instance& instance, DWORD bytes);
    void CloseInstance(Instance& instance);
    void CancelPending(bool connectedToo);
    bool AnyPending() const;
    // Appends text (length bytes, followed in its buffer by room for the line end) as one
    // line ending in CR LF, with a single write.
    void WriteLine(char* text, DWORD length);
    void WriteServiceLine(const char* format, ...);

    SRWLOCK fileLock_;
    HANDLE file_ = INVALID_HANDLE_VALUE;
    HANDLE port_ = nullptr;
    HANDLE thread_ = nullptr;
    HMODULE module_ = nullptr;
    Instance instances_[kInstanceCount];
    bool stopping_ = false;
    bool abandoned_ = false;  // the thread ended with operations outstanding
    unsigned long linesReceived_ = 0;
};

SRWLOCK g_serviceLock = SRWLOCK_INIT;
LogService* g_service = nullptr;

LogService::~LogService() {
    for (Instance& instance : instances_) {
        CloseInstance(instance);
        if (instance.message) HeapFree(GetProcessHeap(), 0, instance.message);
    }
    if (port_) CloseHandle(port_);
    if (thread_) CloseHandle(thread_);
    CloseLog();
}

bool LogService::OpenLog(const wchar_t* name, int mode) {
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD folderLength = GetTempPathW(MAX_PATH + 1, path);
    const size_t nameLength = wcslen(name);
    if (folderLength == 0 || folderLength + nameLength + 4 >= MAX_PATH) return false;
    wcscat(path, name);
    wcscat(path, L".log");

    if (mode != 1) {
        const HANDLE fresh = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                         CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (fresh == INVALID_HANDLE_VALUE) return false;
        CloseHandle(fresh);
    }
    // Append-only access puts every write at the end, also when another process (a second
    // setup that could not serve the pipe) writes to the same file.
    file_ = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
    return file_ != INVALID_HANDLE_VALUE;
}

bool LogService::Serve() {
    // An inbound quota of 0 makes each client write wait until the service has read it, so
    // a client that disconnects has been read completely before the next one can write:
    // clients one after the other land in the log in that order.
    const DWORD openMode = PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED;
    const DWORD pipeMode = PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS;
    Instance& first = instances_[0];
    first.pipe = CreateNamedPipeW(kPipeName, openMode | FILE_FLAG_FIRST_PIPE_INSTANCE, pipeMode, kInstanceCount, 0,
                                  0, 0, nullptr);
    if (first.pipe == INVALID_HANDLE_VALUE) {
        WriteServiceLine("Cannot serve %ls (error %lu); clients keep their own logs", kPipeName, GetLastError());
        return false;
    }
    // Some hosts ignore FILE_FLAG_FIRST_PIPE_INSTANCE; another server's instances of the
    // name then show in the count, and the name is not shared with them either.
    DWORD instanceCount = 0;
    if (GetNamedPipeHandleStateW(first.pipe, nullptr, &instanceCount, nullptr, nullptr, nullptr, 0) &&
        instanceCount > 1) {
        CloseInstance(first);
        WriteServiceLine("Cannot serve %ls (error %lu); clients keep their own logs", kPipeName,
                         static_cast<unsigned long>(ERROR_ACCESS_DENIED));
        return false;
    }
    for (DWORD i = 1; i < kInstanceCount; ++i)
        instances_[i].pipe = CreateNamedPipeW(kPipeName, openMode, pipeMode, kInstanceCount, 0, 0, 0, nullptr);

    port_ = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1);
    bool ready = port_ != nullptr;
    for (Instance& instance : instances_) {
        if (ready && instance.pipe != INVALID_HANDLE_VALUE &&
            !CreateIoCompletionPort(instance.pipe, port_, reinterpret_cast<ULONG_PTR>(&instance), 0))
            ready = false;
    }
    // The thread holds its own reference to this module, so the code it runs stays loaded
    // even if the host unloads the library while the thread is finishing.
    if (ready)
        ready = GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                                   reinterpret_cast<const wchar_t*>(&LogService::ThreadMain), &module_) != FALSE;
    if (ready) {
        // Written before the thread starts, so it comes ahead of every client line.
        WriteServiceLine("Serving %ls", kPipeName);
        thread_ = CreateThread(nullptr, 0, &LogService::ThreadMain, this, 0, nullptr);
        if (thread_) return true;
    }
    const DWORD error = GetLastError();
    if (module_) FreeLibrary(module_);
    WriteServiceLine("Cannot serve %ls (error %lu); clients keep their own logs", kPipeName, error);
    for (Instance& instance : instances_) CloseInstance(instance);
    return false;
}

bool LogService::Stop() {
    if (!PostQueuedCompletionStatus(port_, 0, kStopKey, nullptr)) return false;
    if (WaitForSingleObject(thread_, kClientGraceMs + kCancelGraceMs + 1000) != WAIT_OBJECT_0) return false;
    if (abandoned_) return false;
    WriteServiceLine("Stopped after %lu lines", linesReceived_);
    return true;
}

void LogService::CloseLog() {
    AcquireSRWLockExclusive(&fileLock_);
    if (file_ != INVALID_HANDLE_VALUE) {
        FlushFileBuffers(file_);
        CloseHandle(file_);
        file_ = INVALID_HANDLE_VALUE;
    }
    ReleaseSRWLockExclusive(&fileLock_);
}

DWORD WINAPI LogService::ThreadMain(void* self) {
    LogService* service = static_cast<LogService*>(self);
    const HMODULE module = service->module_;
    service->Run();
    FreeLibraryAndExitThread(module, 0);
}

void LogService::Run() {
    for (Instance& instance : instances_) Listen(instance);

    ULONGLONG deadline = 0;
    bool cutOff = false;
    for (;;) {
        if (stopping_ && !AnyPending()) break;
        DWORD wait = INFINITE;
        if (stopping_) {
            const ULONGLONG now = GetTickCount64();
            wait = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
        }
        DWORD bytes = 0;
        ULONG_PTR key = 0;
        OVERLAPPED* overlapped = nullptr;
        const BOOL ok = GetQueuedCompletionStatus(port_, &bytes, &key, &overlapped, wait);
        const DWORD error = ok ? ERROR_SUCCESS : GetLastError();

        if (overlapped) {
            Complete(*reinterpret_cast<Instance*>(key), error, bytes);
        } else if (ok && key == kStopKey) {
            stopping_ = true;
            deadline = GetTickCount64() + kClientGraceMs;
            CancelPending(false);
        } else if (stopping_ && !cutOff) {
            cutOff = true;
            deadline = GetTickCount64() + kCancelGraceMs;
            CancelPending(true);
        } else {
            // The port failed, or cancelled operations never reported back: their memory
            // must outlive this thread.
            abandoned_ = true;
            return;
        }
    }
    for (Instance& instance : instances_) CloseInstance(instance);
}

void LogService::Listen(Instance& instance) {
    instance.connected = false;
    instance.messageLength = 0;
    instance.messageCut = false;
    if (instance.pipe == INVALID_HANDLE_VALUE) return;
    instance.overlapped = OVERLAPPED{};
    if (ConnectNamedPipe(instance.pipe, &instance.overlapped)) {
        instance.pending = true;
        return;
    }
    switch (GetLastError()) {
    case ERROR_IO_PENDING:
        instance.pending = true;
        return;
    case ERROR_PIPE_CONNECTED:
    case ERROR_NO_DATA:
        // The client came before the wait (and may already have left): what it wrote is
        // still in the pipe and is read like any other client's.
        instance.connected = true;
        Read(instance);
        return;
    default:
        CloseInstance(instance);
    }
}

void LogService::Read(Instance& instance) {
    instance.overlapped = OVERLAPPED{};
    if (ReadFile(instance.pipe, instance.chunk, kReadChunk, nullptr, &instance.overlapped)) {
        instance.pending = true;
        return;
    }
    const DWORD error = GetLastError();
    // A completion packet follows for these two, as it does for a read that succeeds at once.
    if (error == ERROR_IO_PENDING || error == ERROR_MORE_DATA) {
        instance.pending = true;
        return;
    }
    EndClient(instance);
}

void LogService::EndClient(Instance& instance) {
    DisconnectNamedPipe(instance.pipe);
    if (stopping_)
        CloseInstance(instance);
    else
        Listen(instance);
}

void LogService::Complete(Instance& instance, DWORD error, DWORD bytes) {
    instance.pending = false;
    if (instance.pipe == INVALID_HANDLE_VALUE) return;
    if (!instance.connected) {
        if (error == ERROR_SUCCESS) {
            // A client that connected before the stop request is still served.
            instance.connected = true;
            Read(instance);
        } else if (stopping_) {
            CloseInstance(instance);
        } else {
            Listen(instance);
        }
        return;
    }
    if (error == ERROR_MORE_DATA) {
        AppendToMessage(instance, bytes);
        Read(instance);
    } else if (error == ERROR_SUCCESS) {
        DeliverMessage(instance, bytes);
        Read(instance);
    } else {
        EndClient(instance);
    }
}

void LogService::AppendToMessage(Instance& instance, DWORD bytes) {
    if (instance.messageCut) return;
    const HANDLE heap = GetProcessHeap();
    const SIZE_T size = instance.messageLength + bytes + sizeof(kLineEnd);
    char* grown = instance.message ? static_cast<char*>(HeapReAlloc(heap, 0, instance.message, size))
                                   : static_cast<char*>(HeapAlloc(heap, 0, size));
    if (!grown) {
        // What was kept so far is still logged, as the line of this message.
        instance.messageCut = true;
        return;
    }
    instance.message = grown;
    memcpy(instance.message + instance.messageLength, instance.chunk, bytes);
    instance.messageLength += bytes;
}

void LogService::DeliverMessage(Instance& instance, DWORD bytes) {
    char* text = instance.chunk;
    DWORD length = bytes;
    if (instance.messageLength > 0 || instance.messageCut) {
        AppendToMessage(instance, bytes);
        // Without any heap block the message is lost, and an empty line stands for it.
        text = instance.message ? instance.message : instance.chunk;
        length = instance.message ? instance.messageLength : 0;
    }
    // One message is one line; a client that ends its text with a line end still gets
    // exactly one.
    while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r')) --length;
    WriteLine(text, length);
    ++linesReceived_;
    instance.messageLength = 0;
    instance.messageCut = false;
}

void LogService::WriteLine(char* text, DWORD length) {
    memcpy(text + length, kLineEnd, 2);
    AcquireSRWLockExclusive(&fileLock_);
    if (file_ != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file_, text, length + 2, &written, nullptr);
    }
    ReleaseSRWLockExclusive(&fileLock_);
}

void LogService::CloseInstance(Instance& instance) {
    if (instance.pipe == INVALID_HANDLE_VALUE) return;
    CloseHandle(instance.pipe);
    instance.pipe = INVALID_HANDLE_VALUE;
    instance.connected = false;
}

void LogService::CancelPending(bool connectedToo) {
    for (Instance& instance : instances_) {
        if (instance.pipe == INVALID_HANDLE_VALUE) continue;
        if (instance.pending && (connectedToo || !instance.connected))
            CancelIo(instance.pipe);
        else if (!instance.pending && !instance.connected)
            CloseInstance(instance);
    }
}

bool LogService::AnyPending() const {
    for (const Instance& instance : instances_)
        if (instance.pending) return true;
    return false;
}

void LogService::WriteServiceLine(const char* format, ...) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char text[512];
    int used = _snprintf(text, sizeof(text) - sizeof(kLineEnd), "[Quill] %04u-%02u-%02u %02u:%02u:%02u ",
                         now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
    if (used < 0) used = 0;
    va_list args;
    va_start(args, format);
    const int added = _vsnprintf(text + used, sizeof(text) - sizeof(kLineEnd) - used, format, args);
    va_end(args);
    // The runtime's bounded print returns -1 and leaves no terminator when the text is cut.
    used = added < 0 ? static_cast<int>(sizeof(text) - sizeof(kLineEnd)) : used + added;
    WriteLine(text, static_cast<DWORD>(used));
}

void StartService(const wchar_t* name, int mode) {
    if (g_service || !name || !*name) return;
    void* memory = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(LogService));
    if (!memory) return;
    LogService* service = new (memory) LogService;
    if (service->OpenLog(name, mode) && service->Serve()) {
        g_service = service;
        return;
    }
    service->~LogService();
    HeapFree(GetProcessHeap(), 0, memory);
}

void StopService() {
    if (!g_service) return;
    LogService* service = g_service;
    g_service = nullptr;
    if (!service->Stop()) {
        // The thread is still running, or the system may still write into the instances:
        // keep the memory, but close the log so nothing more is written to it.
        service->CloseLog();
        return;
    }
    service->~LogService();
    HeapFree(GetProcessHeap(), 0, service);
}

}  // namespace

extern "C" void __cdecl StartLogger(const wchar_t* name, int mode) {
    AcquireSRWLockExclusive(&g_serviceLock);
    StartService(name, mode);
    ReleaseSRWLockExclusive(&g_serviceLock);
}

extern "C" void __cdecl StopLogger() {
    AcquireSRWLockExclusive(&g_serviceLock);
    StopService();
    ReleaseSRWLockExclusive(&g_serviceLock);
}
