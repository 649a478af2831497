#include "cleanup/log/LogLine.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <cwchar>

namespace {

const char kModuleTag[] = "MODULE";
const char kCutMark[] = "...";
constexpr DWORD kMaxDepth = 100;
constexpr int kFallbackNames = 100;

// Formats into out[size]; the length, or -1 when the text with its terminator does not fit.
int FormatNarrow(char* out, int size, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int n = _vsnprintf(out, size - 1, format, args);
    va_end(args);
    out[size - 1] = '\0';
    return n;
}

int FormatWide(wchar_t* out, int size, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    const int n = _vsnwprintf(out, size - 1, format, args);
    va_end(args);
    out[size - 1] = L'\0';
    return n;
}

int FormatDecorated(char (&line)[kLogLineSize], const char* timeText, DWORD threadId,
                    const char* indentation, const char* message, int level, bool pipeMode) {
    return FormatNarrow(line, kLogLineSize,
                        pipeMode ? "%s,[t:0x%X] : %s%s [L=%d][M=%s]"
                                 : "%s,[t:0x%X] : %s%s [L=%d][M=%s]\r\n",
                        timeText, threadId, indentation, message, level, kModuleTag);
}

}  // namespace

int ToEightBit(const wchar_t* text, int length, char* out) {
    int n = 0;
    for (int i = 0; i < length; ++i) {
        const wchar_t c = text[i];
        if (c <= 0xFF) {
            out[n++] = static_cast<char>(c);
            continue;
        }
        out[n++] = '?';
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF)
            ++i;
    }
    out[n] = '\0';
    return n;
}

int FormatLogLine(char (&line)[kLogLineSize], const char* timeText, DWORD threadId, DWORD depth,
                  const char* message, int level, bool pipeMode) {
    char indentation[kMaxDepth + 1];
    const DWORD blanks = depth < kMaxDepth ? depth : kMaxDepth;
    std::memset(indentation, ' ', blanks);
    indentation[blanks] = '\0';

    const int length =
        FormatDecorated(line, timeText, threadId, indentation, message, level, pipeMode);
    if (length > 0) return length;

    // Too long: measure the decoration alone, then keep as much of the message as fits
    // beside it and the cut mark.
    const int decoration =
        FormatDecorated(line, timeText, threadId, indentation, "", level, pipeMode);
    const int room = kLogLineSize - 1 - decoration - static_cast<int>(sizeof(kCutMark) - 1);
    if (decoration <= 0 || room < 0) return 0;
    char cut[kLogLineSize];
    const size_t keep = strnlen(message, static_cast<size_t>(room));
    std::memcpy(cut, message, keep);
    std::memcpy(cut + keep, kCutMark, sizeof(kCutMark));
    const int cutLength =
        FormatDecorated(line, timeText, threadId, indentation, cut, level, pipeMode);
    return cutLength > 0 ? cutLength : 0;
}

bool FormatLogFilePath(wchar_t (&path)[MAX_PATH], const wchar_t* folder, const SYSTEMTIME& now) {
    return FormatWide(path, MAX_PATH, L"%s\\%s.%02d%02d%02d.%02d%02d%02d.txt", folder, L"Scourwell",
                      now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond) >= 0;
}

bool FindFallbackLogPath(wchar_t (&path)[MAX_PATH], const wchar_t* modulePath,
                         bool (*isTaken)(const wchar_t* path)) {
    const wchar_t* dot = std::wcsrchr(modulePath, L'.');
    // Without a dot the whole module path is the stem, so the module itself (which exists)
    // is never one of the names tried.
    const int stem = static_cast<int>(dot ? dot - modulePath : std::wcslen(modulePath));
    for (int n = 0; n < kFallbackNames; ++n) {
        if (FormatWide(path, MAX_PATH, L"%.*s_log%02d.txt", stem, modulePath, n) < 0) return false;
        if (!isTaken(path)) return true;
    }
    return false;
}
