#include "cleanup/VersionRule.h"

#include <cwchar>

const wchar_t FullCleanVersion[] = L"1.0.57.0";

bool IsFullCleanVersion(const orb::String& appVersion) {
    return appVersion.FindNoCase(FullCleanVersion, 0) == 0 &&
           appVersion.Length() == static_cast<int>(std::wcslen(FullCleanVersion));
}
