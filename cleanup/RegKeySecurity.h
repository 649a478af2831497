#pragma once

#include <windows.h>
#include <aclapi.h>

// Security for keys that the sweep creates: Everyone may read, Administrators have full
// control. Process-wide; all zero until built.
struct RegKeySecurityRecord {
    SECURITY_ATTRIBUTES securityAttributes;
    EXPLICIT_ACCESS_W access[2];
    PSID everyoneSid;
    PSID adminsSid;
    PACL acl;
    PSECURITY_DESCRIPTOR descriptor;
};

extern RegKeySecurityRecord RegKeySecurity;

// Builds RegKeySecurity; a failing step ends the build in silence, leaving
// securityAttributes zero and what was allocated in the record.
void BuildRegKeySecurity();
// Releases what the build allocated; safe without a build.
void FreeRegKeySecurity();
