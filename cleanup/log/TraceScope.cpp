#include "cleanup/log/TraceScope.h"

#include "cleanup/log/CLOGFile.h"

namespace {
constexpr DWORD kMaxDepth = 100;
}

TraceScope::TraceScope(int level, const wchar_t* name) : level_(level), name_(name) {
    // The entry line always has level 5; only the exit line carries the scope's level.
    CLOGFile::Instance().Log(L">>[%s]", name_);
    const DWORD depth = CLOGFile::Instance().Depth();
    if (depth < kMaxDepth) CLOGFile::Instance().SetDepth(depth + 1);
}

TraceScope::~TraceScope() {
    const DWORD depth = CLOGFile::Instance().Depth();
    if (depth != 0) CLOGFile::Instance().SetDepth(depth - 1);
    CLOGFile::Instance().Log(level_, L"<<[%s]", name_);
}
