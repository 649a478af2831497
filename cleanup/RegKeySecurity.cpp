#include "cleanup/RegKeySecurity.h"

RegKeySecurityRecord RegKeySecurity;

namespace {

void FillEntry(EXPLICIT_ACCESS_W& entry, PSID sid, TRUSTEE_TYPE type, DWORD permissions) {
    entry.grfAccessPermissions = permissions;
    entry.grfAccessMode = SET_ACCESS;
    entry.grfInheritance = NO_INHERITANCE;
    entry.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    entry.Trustee.TrusteeType = type;
    entry.Trustee.ptstrName = static_cast<LPWSTR>(sid);
}

}  // namespace

void BuildRegKeySecurity() {
    RegKeySecurityRecord& record = RegKeySecurity;
    SID_IDENTIFIER_AUTHORITY worldAuthority = SECURITY_WORLD_SID_AUTHORITY;
    if (!AllocateAndInitializeSid(&worldAuthority, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0,
                                  &record.everyoneSid))
        return;
    ZeroMemory(record.access, sizeof(record.access));
    FillEntry(record.access[0], record.everyoneSid, TRUSTEE_IS_WELL_KNOWN_GROUP, KEY_READ);

    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                  DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &record.adminsSid))
        return;
    FillEntry(record.access[1], record.adminsSid, TRUSTEE_IS_GROUP, KEY_ALL_ACCESS);

    if (SetEntriesInAclW(2, record.access, nullptr, &record.acl) != ERROR_SUCCESS) return;
    record.descriptor = LocalAlloc(LPTR, SECURITY_DESCRIPTOR_MIN_LENGTH);
    if (!record.descriptor) return;
    if (!InitializeSecurityDescriptor(record.descriptor, SECURITY_DESCRIPTOR_REVISION)) return;
    if (!SetSecurityDescriptorDacl(record.descriptor, TRUE, record.acl, FALSE)) return;

    record.securityAttributes.nLength = sizeof(SECURITY_ATTRIBUTES);
    record.securityAttributes.lpSecurityDescriptor = record.descriptor;
    record.securityAttributes.bInheritHandle = FALSE;
}

void FreeRegKeySecurity() {
    RegKeySecurityRecord& record = RegKeySecurity;
    // Each pointer is cleared as it goes, so nothing is left that names freed memory and a
    // second release does nothing.
    if (record.everyoneSid) {
        FreeSid(record.everyoneSid);
        record.everyoneSid = nullptr;
    }
    if (record.adminsSid) {
        FreeSid(record.adminsSid);
        record.adminsSid = nullptr;
    }
    if (record.acl) {
        LocalFree(record.acl);
        record.acl = nullptr;
    }
    if (record.descriptor) {
        LocalFree(record.descriptor);
        record.descriptor = nullptr;
    }
    ZeroMemory(&record.securityAttributes, sizeof(record.securityAttributes));
    ZeroMemory(record.access, sizeof(record.access));
}
