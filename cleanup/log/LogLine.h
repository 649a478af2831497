#pragma once

#include <windows.h>

// How a log line is made: the 8-bit message from wide text, the decorated line, and the
// paths of the log file. Plain functions of their arguments, apart from the file test
// that the fallback search is given.

// A line holds at most this many bytes, its line end included, plus a terminator.
constexpr int kLogLineSize = 1024;

// Writes length wide characters of text as 8-bit text into out (room for length + 1
// bytes, always terminated): characters 0 to 255 become the byte of the same value, any
// other character (a surrogate pair counts as one) becomes "?". Returns the byte count.
int ToEightBit(const wchar_t* text, int length, char* out);

// Decorates message into line: time text, "[t:0x<upper-case hex thread id>]", one blank
// per depth step, the message, " [L=level][M=MODULE]", and CR LF unless for the pipe.
// A message that would make the line longer than 1,023 bytes is cut to fit and ends in
// "...". Returns the line's length, 0 when nothing could be formatted.
int FormatLogLine(char (&line)[kLogLineSize], const char* timeText, DWORD threadId, DWORD depth,
                  const char* message, int level, bool pipeMode);

// The log file in folder, named after the program and the second in now:
// "<folder>\Scourwell.YYYYMMDD.HHMMSS.txt". False when it does not fit in MAX_PATH.
bool FormatLogFilePath(wchar_t (&path)[MAX_PATH], const wchar_t* folder, const SYSTEMTIME& now);

// The first of "<modulePath up to its last dot>_log00.txt" to "..._log99.txt" for which
// isTaken is false. False when all are taken or a name does not fit in MAX_PATH; path is
// then unspecified.
bool FindFallbackLogPath(wchar_t (&path)[MAX_PATH], const wchar_t* modulePath,
                         bool (*isTaken)(const wchar_t* path));
