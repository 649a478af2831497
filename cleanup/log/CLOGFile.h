#pragma once

#include <windows.h>

#include <cstdarg>

// The cleanup tool's one log: lines go to the log pipe when a log service holds it, or
// else to a log file of its own. Reached through Instance each time; never stored.
class CLOGFile {
public:
    // Writes finished lines to the log pipe; owns the pipe handle and closes it when
    // destroyed.
    class CTracer {
    public:
        CTracer() : handle_(INVALID_HANDLE_VALUE) {}
        CTracer(const CTracer&) = delete;
        CTracer& operator=(const CTracer&) = delete;
        virtual ~CTracer();
        // One WriteFile of text; false without writing for an invalid handle, an empty
        // text or one longer than 1,023 bytes; true only when every byte was written.
        bool Write(const char* text);
        // Address for the result of the pipe's CreateFileW; the tracer owns what lands there.
        HANDLE* Receive() { return &handle_; }
        // The pipe handle, INVALID_HANDLE_VALUE when none.
        HANDLE Handle() const { return handle_; }

    private:
        HANDLE handle_;
    };

    // The one log object, created on the first call (and destroyed at process exit);
    // tries to open the log on every call while it is not open.
    static CLOGFile& Instance();

    // Reads "LogLevel", resets the calling thread's depth, opens the pipe or else the log
    // file and writes the header; the object stays not open when neither opens.
    void Open();
    // A message of level 5 (wide; "%s" takes wide text).
    void Log(const wchar_t* format, ...);
    // A message of the given level (wide).
    void Log(int level, const wchar_t* format, ...);
    // A message of level 5 (8-bit; "%s" takes 8-bit text).
    void Log(const char* format, ...);
    // Decorates message and writes it as one line when level passes the configured level.
    void WriteLine(int level, const char* message);
    // Writes the closing line and closes the log file; the object is then not open.
    void Close();

    // The calling thread's trace depth, 0 to 100 (trace scopes raise and lower it); 0,
    // and left so, when the process had no thread-local index to give the log.
    DWORD Depth() const;
    void SetDepth(DWORD depth);

    // True from a successful Open until Close.
    bool IsOpen() const { return open_ != 0; }

    CLOGFile(const CLOGFile&) = delete;
    CLOGFile& operator=(const CLOGFile&) = delete;
    // Closes the log, then frees the lock and the depth index; the pipe closes last.
    virtual ~CLOGFile();

private:
    CLOGFile();
    // Takes the level from the "LogLevel" value when there is one; else it stays.
    void ReadLevel();
    void LogWide(int level, const wchar_t* format, va_list args);

    int level_;
    int pipeMode_;
    CTracer pipe_;
    HANDLE file_;
    CRITICAL_SECTION lock_;
    int open_;
    DWORD depthIndex_;
};
