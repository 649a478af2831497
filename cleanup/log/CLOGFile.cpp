#include "cleanup/log/CLOGFile.h"

#include <knownfolders.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>

#include "cleanup/log/LogLine.h"

namespace {

const wchar_t kPipeName[] = L"\\\\.\\pipe\\KOVA_Tavi_IP1";
const wchar_t kLevelKey[] = L"SOFTWARE\\Vardo Corporation\\Vardo Tavi";
const wchar_t kLevelValue[] = L"LogLevel";
const wchar_t kRule[] = L"=====================================================";

constexpr int kDefaultLevel = 6;
constexpr int kMessageLevel = 5;
constexpr int kTimeSize = 400;

#define TAVI_WIDEN2(text) L##text
#define TAVI_WIDEN(text) TAVI_WIDEN2(text)
const wchar_t kBuildDate[] = TAVI_WIDEN(__DATE__);
const wchar_t kBuildTime[] = TAVI_WIDEN(__TIME__);

bool PathIsTaken(const wchar_t* path) {
    return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

// The log file in the local application data folder, or else a free name beside the
// program; false when neither gives a path that fits in MAX_PATH characters.
bool BuildLogFilePath(wchar_t (&path)[MAX_PATH]) {
    PWSTR folder = nullptr;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, &folder))) {
        SYSTEMTIME now;
        GetLocalTime(&now);
        const bool fits = FormatLogFilePath(path, folder, now);
        CoTaskMemFree(folder);
        return fits;
    }
    wchar_t module[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, module, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    return FindFallbackLogPath(path, module, PathIsTaken);
}

}  // namespace

CLOGFile::CTracer::~CTracer() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
}

bool CLOGFile::CTracer::Write(const char* text) {
    if (handle_ == INVALID_HANDLE_VALUE || !text) return false;
    const size_t length = std::strlen(text);
    if (length == 0 || length > kLogLineSize - 1) return false;
    DWORD written = 0;
    return WriteFile(handle_, text, static_cast<DWORD>(length), &written, nullptr) &&
           written == length;
}

CLOGFile::CLOGFile()
    : level_(kDefaultLevel), pipeMode_(0), file_(INVALID_HANDLE_VALUE), open_(0),
      depthIndex_(TLS_OUT_OF_INDEXES) {
    InitializeCriticalSection(&lock_);
    depthIndex_ = TlsAlloc();
}

CLOGFile::~CLOGFile() {
    Close();
    DeleteCriticalSection(&lock_);
    if (depthIndex_ != TLS_OUT_OF_INDEXES) TlsFree(depthIndex_);
}

CLOGFile& CLOGFile::Instance() {
    // Destroyed by the exit processing after wWinMain returns, before the objects that
    // were constructed ahead of it.
    static CLOGFile instance;
    if (!instance.open_) instance.Open();
    return instance;
}

DWORD CLOGFile::Depth() const {
    // Without a depth index (TlsAlloc failed) every line goes without indentation.
    if (depthIndex_ == TLS_OUT_OF_INDEXES) return 0;
    return static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(TlsGetValue(depthIndex_)));
}

void CLOGFile::SetDepth(DWORD depth) {
    if (depthIndex_ == TLS_OUT_OF_INDEXES) return;
    TlsSetValue(depthIndex_, reinterpret_cast<LPVOID>(static_cast<ULONG_PTR>(depth)));
}

void CLOGFile::ReadLevel() {
    HKEY key;
    if (RegOpenKeyW(HKEY_CURRENT_USER, kLevelKey, &key) != ERROR_SUCCESS) return;
    // The value's type is ignored: its first four bytes (fewer for a shorter value, over
    // the low bytes of the level) become the level.
    BYTE data[64];
    DWORD size = sizeof(data);
    LONG result = RegQueryValueExW(key, kLevelValue, nullptr, nullptr, data, &size);
    if (result == ERROR_MORE_DATA) {
        std::unique_ptr<BYTE[]> large(new BYTE[size]);
        result = RegQueryValueExW(key, kLevelValue, nullptr, nullptr, large.get(), &size);
        if (result == ERROR_SUCCESS) std::memcpy(data, large.get(), sizeof(level_));
    }
    if (result == ERROR_SUCCESS)
        std::memcpy(&level_, data, size < sizeof(level_) ? size : sizeof(level_));
    RegCloseKey(key);
}

void CLOGFile::Open() {
    if (open_) return;
    ReadLevel();
    SetDepth(0);
    EnterCriticalSection(&lock_);

    // Identification only: whoever serves this well-known name must not act with the
    // rights of this elevated process.
    *pipe_.Receive() = CreateFileW(kPipeName, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL | SECURITY_SQOS_PRESENT |
                                       SECURITY_IDENTIFICATION,
                                   nullptr);
    if (pipe_.Handle() != INVALID_HANDLE_VALUE) {
        pipeMode_ = 1;
        open_ = 1;
    } else {
        wchar_t path[MAX_PATH];
        pipeMode_ = 0;
        if (!BuildLogFilePath(path)) {
            LeaveCriticalSection(&lock_);
            return;
        }
        file_ = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file_ == INVALID_HANDLE_VALUE) {
            LeaveCriticalSection(&lock_);
            return;
        }
        SetFilePointer(file_, 0, nullptr, FILE_END);
        open_ = 1;
    }

    // A module path that does not fit comes back cut and terminated.
    wchar_t module[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    module[MAX_PATH - 1] = L'\0';
    const DWORD processId = GetCurrentProcessId();
    SYSTEMTIME now;
    GetLocalTime(&now);

    Log(L"%s", kRule);
    Log(L"Log started on %02u.%02u.%04u, at %02u:%02u:%02u:%03u", now.wDay, now.wMonth, now.wYear,
        now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
    Log(L"Executable: %s", module);
    Log(L"Compile time : %s %s", kBuildDate, kBuildTime);
    Log(L"ProcessID: 0x%x", processId);
    Log(L"%s", kRule);

    LeaveCriticalSection(&lock_);
}

void CLOGFile::LogWide(int level, const wchar_t* format, va_list args) {
    if (!open_ || level > level_) return;
    wchar_t message[kLogLineSize];
    // A message that does not fit keeps its first 1,023 characters; the line it makes is
    // then too long as well and is cut with the cut mark.
    _vsnwprintf(message, kLogLineSize - 1, format, args);
    message[kLogLineSize - 1] = L'\0';
    const int length = static_cast<int>(std::wcslen(message));
    const std::unique_ptr<char[]> bytes(new char[length + 1]);
    ToEightBit(message, length, bytes.get());
    WriteLine(level, bytes.get());
}

void CLOGFile::Log(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    LogWide(kMessageLevel, format, args);
    va_end(args);
}

void CLOGFile::Log(int level, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    LogWide(level, format, args);
    va_end(args);
}

void CLOGFile::Log(const char* format, ...) {
    if (!open_ || kMessageLevel > level_) return;
    char message[kLogLineSize];
    va_list args;
    va_start(args, format);
    // As in the wide forms, a message that does not fit is cut with the line.
    _vsnprintf(message, kLogLineSize - 1, format, args);
    va_end(args);
    message[kLogLineSize - 1] = '\0';
    WriteLine(kMessageLevel, message);
}

void CLOGFile::WriteLine(int level, const char* message) {
    if (level > level_) return;
    EnterCriticalSection(&lock_);

    SYSTEMTIME now;
    GetLocalTime(&now);
    char timeText[kTimeSize];
    _snprintf(timeText, kTimeSize - 1, "%02u:%02u:%02u:%03u", now.wHour, now.wMinute, now.wSecond,
              now.wMilliseconds);
    timeText[kTimeSize - 1] = '\0';

    char line[kLogLineSize];
    const int length = FormatLogLine(line, timeText, GetCurrentThreadId(), Depth(), message, level,
                                     pipeMode_ != 0);
    if (length > 0) {
        if (pipeMode_) {
            pipe_.Write(line);
        } else {
            SetFilePointer(file_, 0, nullptr, FILE_END);
            DWORD written = 0;
            WriteFile(file_, line, static_cast<DWORD>(length), &written, nullptr);
            if (written != static_cast<DWORD>(length)) FlushFileBuffers(file_);
        }
    }
    LeaveCriticalSection(&lock_);
}

void CLOGFile::Close() {
    if (!open_) return;
    EnterCriticalSection(&lock_);
    if (open_) {
        Log("LogClient finished - PID:%#x TID:%#x", GetCurrentProcessId(), GetCurrentThreadId());
        if (!pipeMode_) {
            CloseHandle(file_);
            file_ = INVALID_HANDLE_VALUE;
        }
        open_ = 0;
    }
    LeaveCriticalSection(&lock_);
}
