#pragma once

#include <windows.h>

#include "orb/String.h"

// The architecture probe's answer and the text it writes to the debugger (null: none).
struct ArchitectureAnswer {
    bool is64Bit;
    const wchar_t* debuggerText;
};

// Decides the architecture from the result of the WMI query and the "OSArchitecture"
// text read after it (empty when it could not be read): 32-bit only when the query
// succeeded and the text begins with "32"; a failed query gives 64-bit and no text.
ArchitectureAnswer DecideArchitecture(HRESULT queryResult, const orb::String& architecture);

// Decides whether the host is a terminal server from the value of GetVersion: false for
// the Windows 95 family, else the answer of suiteListed (the product-suite list) up to
// version 4 and of suiteVerified (the version test) after it. Only the probe the version
// calls for is asked.
bool DecideTerminalHost(DWORD version, bool (*suiteListed)(), bool (*suiteVerified)());

// True when list, a REG_MULTI_SZ block (0-terminated strings ended by an empty one),
// holds a string equal to entry, letter case included.
bool SuiteListContains(const char* list, const char* entry);
