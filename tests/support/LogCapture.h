#pragma once

#include <string>
#include <vector>

namespace tavi_test {

// Reads what the cleanup log of this test process writes to its log file (no log pipe
// server runs in a test prefix, so the log client falls back to
// Scourwell.YYYYMMDD.HHMMSS.txt in the local application data folder).
class LogCapture {
public:
    // Opens the log (through the log client) and marks its current end.
    LogCapture();
    // Whole lines (without CR LF) written since the last mark; moves the mark.
    std::vector<std::string> NewLines();
    // Message texts of NewLines(): the text between " : " plus indentation and " [L=".
    std::vector<std::string> NewMessages();
    const std::wstring& Path() const { return path_; }

    // The message of one decorated line, leading blanks (indentation) removed.
    static std::string MessageOf(const std::string& line);
    // The number of indentation blanks of one decorated line.
    static int IndentationOf(const std::string& line);

private:
    std::wstring path_;
    size_t mark_ = 0;
};

}  // namespace tavi_test
