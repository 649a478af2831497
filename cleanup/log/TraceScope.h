#pragma once

// Brackets a routine in the log with ">>[name]" and "<<[name]" and indents every line in
// between by one more blank. name must outlive the scope.
class TraceScope {
public:
    TraceScope(int level, const wchar_t* name);
    ~TraceScope();
    TraceScope(const TraceScope&) = delete;
    TraceScope& operator=(const TraceScope&) = delete;

private:
    int level_;
    const wchar_t* name_;
};
