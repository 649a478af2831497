#include "cleanup/log/CLOGFile.h"

#include <knownfolders.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

const wchar_t kPipeName[] = L"\\\\.\\pipe\\KOVA_Tavi_IP1";
const wchar_t kLevelKey[] = L"SOFTWARE\\Vardo Corporation\\Vardo Tavi";
const wchar_t kLevelValue[] = L"LogLevel";
const wchar_t kRule[] = L"=====================================================";
const char kModuleTag[] = "MODULE";

constexpr int kDefaultLevel = 6;
constexpr int kMessageLevel = 5;
constexpr DWORD kMaxDepth = 100;
constexpr int kLineSize = 1024;
constexpr int kTimeSize = 400;
// The fallback log names run from _log00.txt to _log99.txt; past that there is no log.
constexpr int kFallbackNames = 100;

#define TAVI_WIDEN2(text) L##text
#define TAVI_WIDEN(text) TAVI_WIDEN2(text)
const wchar_t kBuildDate[] = TAVI_WIDEN(__DATE__);
const wchar_t kBuildTime[] = TAVI_WIDEN(__TIME__);

// Formats into out[size]; -1 when the text (with its terminator) does not fit.
int FormatWide(wchar_t* out, int size, const wchar_t* format, va_list args) {
    const int n = _vsnwprintf(out, size - 1, format, args);
    out[size - 1] = L'\0';
    return n;
}

int FormatNarrow(char* out, int size, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int n = _vsnprintf(out, size - 1, format, args);
    va_end(args);
    out[size - 1] = '\0';
    return n;
}

// Wide to 8-bit as the "C" locale converts: characters 0 to 255 become the byte of the
// same value; any character above 255 fails the whole conversion, giving an empty text.
std::unique_ptr<char[]> ToEightBit(const wchar_t* text, int length) {
    std::unique_ptr<char[]> bytes(new char[length + 1]);
    for (int i = 0; i < length; ++i) {
        if (text[i] > 0xFF) {
            bytes[0] = '\0';
            return bytes;
        }
        bytes[i] = static_cast<char>(text[i]);
    }
    bytes[length] = '\0';
    return bytes;
}

// The log file in the local application data folder, named after the program and the
// second the log was opened; else a free "<module>_logNN.txt" beside the program.
// False when no path fits in MAX_PATH characters.
bool BuildLogFilePath(wchar_t (&path)[MAX_PATH]) {
    PWSTR folder = nullptr;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, &folder))) {
        SYSTEMTIME now;
        GetLocalTime(&now);
        const int n = _snwprintf(path, MAX_PATH - 1, L"%s\\%s.%02d%02d%02d.%02d%02d%02d.txt", folder,
                                 L"Scourwell", now.wYear, now.wMonth, now.wDay, now.wHour,
                                 now.wMinute, now.wSecond);
        path[MAX_PATH - 1] = L'\0';
        CoTaskMemFree(folder);
        return n >= 0;
    }
    wchar_t module[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, module, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    wchar_t* dot = std::wcsrchr(module, L'.');
    const size_t stem = dot ? static_cast<size_t>(dot - module) : length;
    for (int n = 0; n < kFallbackNames; ++n) {
        const int written = _snwprintf(path, MAX_PATH - 1, L"%.*s_log%02d.txt",
                                       static_cast<int>(stem), module, n);
        path[MAX_PATH - 1] = L'\0';
        if (written < 0) return false;
        if (GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES) return true;
    }
    return false;
}

}  // namespace

CLOGFile::CTracer::~CTracer() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
}

bool CLOGFile::CTracer::Write(const char* text) {
    if (handle_ == INVALID_HANDLE_VALUE || !text) return false;
    const size_t length = std::strlen(text);
    if (length == 0 || length > kLineSize - 1) return false;
    DWORD written = 0;
    return WriteFile(handle_, text, static_cast<DWORD>(length), &written, nullptr) && written == length;
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
    if (depthIndex_ == TLS_OUT_OF_INDEXES) return 0;
    return static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(TlsGetValue(depthIndex_)));
}

void CLOGFile::SetDepth(DWORD depth) {
    if (depthIndex_ == TLS_OUT_OF_INDEXES) return;
    TlsSetValue(depthIndex_, reinterpret_cast<LPVOID>(static_cast<ULONG_PTR>(depth)));
}

void CLOGFile::Open() {
    if (open_) return;

    HKEY key;
    if (RegOpenKeyW(HKEY_CURRENT_USER, kLevelKey, &key) == ERROR_SUCCESS) {
        // The value's type is ignored: its first four bytes (at most) become the level.
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

    SetDepth(0);
    EnterCriticalSection(&lock_);

    *pipe_.Receive() = CreateFileW(kPipeName, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
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
    wchar_t message[kLineSize];
    const int length = FormatWide(message, kLineSize, format, args);
    if (length < 0) return;
    const std::unique_ptr<char[]> bytes = ToEightBit(message, length);
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
    char message[kLineSize];
    va_list args;
    va_start(args, format);
    const int length = _vsnprintf(message, kLineSize - 1, format, args);
    va_end(args);
    message[kLineSize - 1] = '\0';
    if (length < 0) return;
    WriteLine(kMessageLevel, message);
}

void CLOGFile::WriteLine(int level, const char* message) {
    if (level > level_) return;
    EnterCriticalSection(&lock_);

    SYSTEMTIME now;
    GetLocalTime(&now);
    char timeText[kTimeSize];
    FormatNarrow(timeText, kTimeSize, "%02u:%02u:%02u:%03u", now.wHour, now.wMinute, now.wSecond,
                 now.wMilliseconds);

    char indentation[kMaxDepth + 1];
    const DWORD depth = Depth() < kMaxDepth ? Depth() : kMaxDepth;
    std::memset(indentation, ' ', depth);
    indentation[depth] = '\0';

    char line[kLineSize];
    const int length = FormatNarrow(line, kLineSize,
                                    pipeMode_ ? "%s,[t:0x%X] : %s%s [L=%d][M=%s]"
                                              : "%s,[t:0x%X] : %s%s [L=%d][M=%s]\r\n",
                                    timeText, GetCurrentThreadId(), indentation, message, level,
                                    kModuleTag);
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
