#include "cleanup/GuidState.h"

std::vector<orb::String> BadGuidList;
orb::String UsedInstallGuid;
const orb::String ProductGuid(L"{6B1D40A2-5C3E-4F71-8A09-E2C47D15B398}");

bool IsGuidListed(const wchar_t* candidate) {
    orb::String lowerCandidate(candidate);
    lowerCandidate.MakeLower();
    if (lowerCandidate.Length() == 0) return false;
    for (const orb::String& listed : BadGuidList) {
        orb::String lowerListed(listed);
        lowerListed.MakeLower();
        // The listed id is searched for inside the candidate, not the other way round.
        if (lowerListed.Length() != 0 && lowerCandidate.Find(lowerListed.Text(), 0) >= 0)
            return true;
    }
    return false;
}

bool AddBadGuid(const wchar_t* candidate) {
    if (!candidate || !*candidate) return false;
    if (IsGuidListed(candidate)) return false;
    BadGuidList.emplace_back(candidate);
    return true;
}
