#include "cleanup/ProductSweep.h"

#include <windows.h>
#include <aclapi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cleanup/GuidState.h"
#include "cleanup/RegKeySecurity.h"
#include "tests/support/ImportPatch.h"
#include "tests/support/SweepRegistry.h"
#include "tests/support/TestSupport.h"

using tavi_test::Line;
using tavi_test::RegistryText;
using tavi_test::kSweepKeyPaths;

namespace {

const std::wstring kProducts = kSweepKeyPaths[0];
const std::wstring kClasses = kSweepKeyPaths[1];
const std::wstring kClassesUpgrade = kSweepKeyPaths[2];
const std::wstring kInstallerUpgrade = kSweepKeyPaths[3];

// Writes a stage 1 registration: id\InstallProperties with the values that are not null.
void WriteInstallProperties(const std::wstring& id, const wchar_t* displayName, const wchar_t* displayVersion) {
    const std::wstring path = kProducts + L"\\" + id + L"\\InstallProperties";
    ASSERT_TRUE(tavi_test::CreateKey(path));
    if (displayName) {
        ASSERT_TRUE(tavi_test::WriteText(path, L"DisplayName", displayName));
    }
    if (displayVersion) {
        ASSERT_TRUE(tavi_test::WriteText(path, L"DisplayVersion", displayVersion));
    }
}

void WriteClassProduct(const std::wstring& id, const wchar_t* productName) {
    const std::wstring path = kClasses + L"\\" + id;
    ASSERT_TRUE(tavi_test::CreateKey(path + L"\\SourceList"));
    if (productName) {
        ASSERT_TRUE(tavi_test::WriteText(path, L"ProductName", productName));
    }
}

std::vector<std::wstring> BadGuids() {
    std::vector<std::wstring> ids;
    for (const orb::String& id : BadGuidList) ids.emplace_back(id.Text());
    return ids;
}

class ProductSweepTest : public tavi_test::SweepRegistryTest {};

}  // namespace

TEST(ProductNameTest, NeedsOneDisplayNameWithExactCaseAnywhere) {
    const struct { const wchar_t* text; bool product; } cases[] = {
        {L"Vardo(R) Tavi", true},
        {L"Vardo(R) Tavi 3.5 Extras", true},
        {L"Setup of Vardo(R) Corvane", true},
        {L"Vardo\u00AE Corvane", true},
        {L"VARDO(R) TAVI", false},
        {L"Vardo Tavi", false},
        {L"Vardo\u00AE Tavi", false},  // only Corvane has the registered-sign form
        {L"Vardo(R)Tavi", false},
        {L"", false},
        {nullptr, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text ? tavi_test::Narrow(c.text) : std::string("(absent)"));
        EXPECT_EQ(c.product, IsProductName(RegistryText(c.text)));
    }
}

TEST(CurrentVersionTest, DisplayVersionMustBeTheWholeVersionOrItsLeadingParts) {
    const struct { const wchar_t* app; const wchar_t* display; bool current; } cases[] = {
        {L"12.0.1.0", L"12.0.1.0", true},
        {L"12.0.1.0", L"12.0.1", true},
        {L"12.0.1.0", L"12.0", true},
        {L"12.0.1.0", L"12", true},
        {L"12.0.1.0", L"2.0", false},  // contained, but not at the start
        {L"12.0.1.0", L"12.0.10", false},
        {L"12.0.10.0", L"12.0.1", false},  // ends inside a number part
        {L"12.0.1.0", L"12.0.1.0.5", false},
        {L"2.1.0.0", L"3.1", false},
        {L"12.0.1.0", L"", false},
        {L"12.0.1.0", nullptr, false},
        {L"", L"12.0.1.0", false},
        {L"", L"", false},
        {nullptr, nullptr, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.app ? tavi_test::Narrow(c.app) : "(empty)") << " / "
                                        << (c.display ? tavi_test::Narrow(c.display) : "(absent)"));
        EXPECT_EQ(c.current, IsCurrentVersion(RegistryText(c.app), RegistryText(c.display)));
    }
}

TEST_F(ProductSweepTest, UserDataKeepsTheCurrentRegistrationAndDeletesOtherProductRegistrations) {
    WriteInstallProperties(L"A1CURRENT", L"Vardo(R) Tavi", L"12.0.1");
    WriteInstallProperties(L"B2STALE", L"Vardo(R) Tavi 3.5 Extras", L"2.0");
    WriteInstallProperties(L"C3NONAME", nullptr, L"12.0.1.0");
    WriteInstallProperties(L"D4CORVANE", L"Vardo\u00AE Corvane", L"11.0");
    ASSERT_TRUE(tavi_test::WriteText(kProducts + L"\\E5NOPROPS", L"DisplayName", L"Vardo(R) Tavi"));
    WriteInstallProperties(L"F6FOREIGN", L"Other Tavi", L"1.0");
    WriteInstallProperties(L"G7NOVERSION", L"Vardo(R) Corvane", nullptr);
    WriteInstallProperties(L"H8EMPTYVERSION", L"Vardo(R) Tavi", L"");
    ASSERT_TRUE(tavi_test::CreateKey(kProducts + L"\\B2STALE\\Patches\\Old"));
    const auto untouched = tavi_test::Snapshot(kProducts + L"\\C3NONAME");

    SweepUserDataProducts(RegistryText(L"12.0.1.0"));

    // Downward: the highest index (last name) comes first.
    EXPECT_EQ((std::vector<std::string>{
                  Line(L"Checking: ", kProducts),
                  Line(L"Bad TaviInstallGUID:(D) ", kProducts + L"\\H8EMPTYVERSION"),
                  Line(L"Bad TaviInstallGUID:(D) ", kProducts + L"\\G7NOVERSION"),
                  Line(L"Bad TaviInstallGUID:(D) ", kProducts + L"\\D4CORVANE"),
                  Line(L"Bad TaviInstallGUID:(D) ", kProducts + L"\\B2STALE"),
                  Line(L"Used TaviInstallGUID: ", kProducts + L"\\A1CURRENT"),
              }),
              Messages());
    EXPECT_EQ((std::vector<std::wstring>{L"A1CURRENT", L"C3NONAME", L"E5NOPROPS", L"F6FOREIGN"}),
              tavi_test::SubkeyNames(kProducts));
    EXPECT_EQ(untouched, tavi_test::Snapshot(kProducts + L"\\C3NONAME"));
    EXPECT_EQ((std::vector<std::wstring>{L"H8EMPTYVERSION", L"G7NOVERSION", L"D4CORVANE", L"B2STALE"}), BadGuids());
    EXPECT_STREQ(L"A1CURRENT", UsedInstallGuid.Text());
}

TEST_F(ProductSweepTest, OfTwoCurrentRegistrationsTheLowerIndexIsUsedAndOnlyItsClassRegistrationStays) {
    WriteInstallProperties(L"AAAA1111", L"Vardo(R) Tavi", L"12.0");
    WriteInstallProperties(L"BBBB2222", L"Vardo(R) Tavi", L"12.0.1.0");
    WriteClassProduct(L"AAAA1111", L"Vardo(R) Tavi");
    WriteClassProduct(L"BBBB2222", L"Vardo(R) Tavi");
    WriteClassProduct(L"AAAA", L"Vardo(R) Corvane");  // contained in UsedInstallGuid
    WriteClassProduct(L"CCCC3333", nullptr);
    WriteClassProduct(L"DDDD4444", L"Another Product");

    SweepUserDataProducts(RegistryText(L"12.0.1.0"));
    SweepClassesProducts();

    EXPECT_EQ((std::vector<std::string>{
                  Line(L"Checking: ", kProducts),
                  Line(L"Used TaviInstallGUID: ", kProducts + L"\\BBBB2222"),
                  Line(L"Used TaviInstallGUID: ", kProducts + L"\\AAAA1111"),
                  Line(L"Checking: ", kClasses),
                  Line(L"Bad TaviInstallGUID:(D) ", kClasses + L"\\BBBB2222"),
              }),
              Messages());
    EXPECT_STREQ(L"AAAA1111", UsedInstallGuid.Text());
    EXPECT_EQ((std::vector<std::wstring>{L"AAAA1111", L"BBBB2222"}), tavi_test::SubkeyNames(kProducts));
    EXPECT_EQ((std::vector<std::wstring>{L"AAAA", L"AAAA1111", L"CCCC3333", L"DDDD4444"}),
              tavi_test::SubkeyNames(kClasses));
    EXPECT_EQ((std::vector<std::wstring>{L"BBBB2222"}), BadGuids());
}

TEST_F(ProductSweepTest, EmptyApplicationVersionKeepsNoRegistrationInStagesOneToFour) {
    WriteInstallProperties(L"AAAA1111", L"Vardo(R) Tavi", L"12.0.1.0");
    WriteInstallProperties(L"BBBB2222", L"Vardo(R) Corvane", L"");
    WriteInstallProperties(L"FFFF9999", L"Other", L"12.0.1.0");
    WriteClassProduct(L"AAAA1111", L"Vardo(R) Tavi");
    WriteClassProduct(L"FFFF9999", L"Other");
    for (const std::wstring& upgrade : {kClassesUpgrade, kInstallerUpgrade}) {
        ASSERT_TRUE(tavi_test::WriteText(upgrade, L"AAAA1111", L""));
        ASSERT_TRUE(tavi_test::WriteText(upgrade, L"EEEE5555", L""));
    }

    SweepUserDataProducts(orb::String());
    SweepClassesProducts();
    SweepUpgradeCodes(kClassesUpgrade.c_str());
    SweepUpgradeCodes(kInstallerUpgrade.c_str());

    EXPECT_EQ((std::vector<std::string>{
                  Line(L"Checking: ", kProducts),
                  Line(L"Bad TaviInstallGUID:(D) ", kProducts + L"\\BBBB2222"),
                  Line(L"Bad TaviInstallGUID:(D) ", kProducts + L"\\AAAA1111"),
                  Line(L"Checking: ", kClasses),
                  Line(L"Bad TaviInstallGUID:(D) ", kClasses + L"\\AAAA1111"),
                  Line(L"Checking: ", kClassesUpgrade),
                  Line(L"Bad TaviInstallGUID:(D) ", kClassesUpgrade + L"\\EEEE5555"),
                  Line(L"Bad TaviInstallGUID:(D) ", kClassesUpgrade + L"\\AAAA1111"),
                  Line(L"Checking: ", kInstallerUpgrade),
                  Line(L"Bad TaviInstallGUID:(D) ", kInstallerUpgrade + L"\\EEEE5555"),
                  Line(L"Bad TaviInstallGUID:(D) ", kInstallerUpgrade + L"\\AAAA1111"),
              }),
              Messages());
    EXPECT_EQ(0, UsedInstallGuid.Length());
    EXPECT_EQ((std::vector<std::wstring>{L"FFFF9999"}), tavi_test::SubkeyNames(kProducts));
    EXPECT_EQ((std::vector<std::wstring>{L"FFFF9999"}), tavi_test::SubkeyNames(kClasses));
    EXPECT_TRUE(tavi_test::ValueNames(kClassesUpgrade).empty());
    EXPECT_TRUE(tavi_test::ValueNames(kInstallerUpgrade).empty());
    EXPECT_EQ((std::vector<std::wstring>{L"BBBB2222", L"AAAA1111", L"EEEE5555"}), BadGuids());
}

TEST_F(ProductSweepTest, UpgradeCodeValuesAreKeptOnlyWhenUsedInstallGuidContainsTheirName) {
    UsedInstallGuid = L"AAAA1111";
    for (const wchar_t* name : {L"AAAA1111", L"AAAA", L"AAAA11112", L"BBBB2222", L"XAAAA1111"})
        ASSERT_TRUE(tavi_test::WriteText(kClassesUpgrade, name, L""));

    SweepUpgradeCodes(kClassesUpgrade.c_str());

    EXPECT_EQ((std::vector<std::string>{
                  Line(L"Checking: ", kClassesUpgrade),
                  Line(L"Bad TaviInstallGUID:(D) ", kClassesUpgrade + L"\\XAAAA1111"),
                  Line(L"Bad TaviInstallGUID:(D) ", kClassesUpgrade + L"\\BBBB2222"),
                  Line(L"Bad TaviInstallGUID:(D) ", kClassesUpgrade + L"\\AAAA11112"),
              }),
              Messages());
    EXPECT_EQ((std::vector<std::wstring>{L"AAAA", L"AAAA1111"}), tavi_test::ValueNames(kClassesUpgrade));
    EXPECT_EQ((std::vector<std::wstring>{L"XAAAA1111", L"BBBB2222", L"AAAA11112"}), BadGuids());
}

namespace {

// Arguments of the RegCreateKeyExW calls made while a CreateCallRecorder lives.
struct CreateCall {
    HKEY root;
    std::wstring path;
    DWORD reserved;
    bool hasClass;
    DWORD options;
    REGSAM access;
    const SECURITY_ATTRIBUTES* security;
    bool hasDisposition;
};
std::vector<CreateCall> createCalls;
tavi_test::ImportPatch* createHook = nullptr;

LSTATUS WINAPI RecordCreate(HKEY root, LPCWSTR path, DWORD reserved, LPWSTR keyClass, DWORD options,
                            REGSAM access, const SECURITY_ATTRIBUTES* security, PHKEY result, LPDWORD disposition) {
    createCalls.push_back({root, path ? path : L"", reserved, keyClass != nullptr, options, access, security,
                           disposition != nullptr});
    return createHook->Original<decltype(&RecordCreate)>()(root, path, reserved, keyClass, options, access,
                                                           security, result, disposition);
}

}  // namespace

TEST_F(ProductSweepTest, MissingUpgradeCodeKeysAreCreatedEmptyWithTheKeySecurity) {
    tavi_test::ImportPatch hook("advapi32.dll", "RegCreateKeyExW", reinterpret_cast<void*>(&RecordCreate));
    ASSERT_TRUE(hook.Active());
    createHook = &hook;
    createCalls.clear();
    ASSERT_FALSE(tavi_test::KeyExists(kClassesUpgrade));
    WriteClassProduct(L"BBBB2222", L"Vardo(R) Tavi");
    createCalls.clear();

    SweepUpgradeCodes(kClassesUpgrade.c_str());
    SweepUpgradeCodes(kInstallerUpgrade.c_str());
    SweepClassesProducts();

    EXPECT_EQ((std::vector<std::string>{
                  Line(L"Checking: ", kClassesUpgrade),
                  Line(L"Checking: ", kInstallerUpgrade),
                  Line(L"Checking: ", kClasses),
                  Line(L"Bad TaviInstallGUID:(D) ", kClasses + L"\\BBBB2222"),
              }),
              Messages());
    for (const std::wstring& upgrade : {kClassesUpgrade, kInstallerUpgrade}) {
        EXPECT_TRUE(tavi_test::KeyExists(upgrade));
        EXPECT_TRUE(tavi_test::ValueNames(upgrade).empty());
        EXPECT_TRUE(tavi_test::SubkeyNames(upgrade).empty());
    }
    const std::vector<std::wstring> paths = {kClassesUpgrade, kInstallerUpgrade, kClasses, kClasses + L"\\BBBB2222"};
    ASSERT_EQ(paths.size(), createCalls.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const CreateCall& call = createCalls[i];
        SCOPED_TRACE(tavi_test::Narrow(call.path));
        EXPECT_EQ(paths[i], call.path);
        EXPECT_EQ(HKEY_LOCAL_MACHINE, call.root);
        EXPECT_EQ(0u, call.reserved);
        EXPECT_FALSE(call.hasClass);
        EXPECT_EQ(0u, call.options);
        EXPECT_EQ(static_cast<REGSAM>(0xF003F), call.access);
        EXPECT_EQ(&RegKeySecurity.securityAttributes, call.security);
        EXPECT_FALSE(call.hasDisposition);
    }
    createHook = nullptr;
}

TEST_F(ProductSweepTest, ValueNamesTooLongForTheNameBufferEndTheValuePass) {
    // Values enumerate sorted by name: A, B (260 characters), C (259), D.
    const std::wstring fits = L"C" + std::wstring(258, L'c');
    const std::wstring tooLong = L"B" + std::wstring(259, L'b');
    for (const std::wstring& name : {std::wstring(L"A"), tooLong, fits, std::wstring(L"D")})
        ASSERT_TRUE(tavi_test::WriteText(kInstallerUpgrade, name.c_str(), L""));

    SweepUpgradeCodes(kInstallerUpgrade.c_str());

    EXPECT_EQ((std::vector<std::string>{
                  Line(L"Checking: ", kInstallerUpgrade),
                  Line(L"Bad TaviInstallGUID:(D) ", kInstallerUpgrade + L"\\D"),
                  Line(L"Bad TaviInstallGUID:(D) ", kInstallerUpgrade + L"\\" + fits),
              }),
              Messages());
    EXPECT_EQ((std::vector<std::wstring>{L"A", tooLong}), tavi_test::ValueNames(kInstallerUpgrade));
}

namespace {

// Gives a key a DACL under which nobody may read it (only read and change its security),
// so a RegDeleteTreeW above it fails with access denied; restores full access when
// released, so the fixture can delete it.
class LockedKey {
public:
    explicit LockedKey(const std::wstring& path) : path_(path) { locked_ = SetAccess(READ_CONTROL | WRITE_DAC); }
    ~LockedKey() { SetAccess(KEY_ALL_ACCESS); }
    bool Locked() const { return locked_; }

private:
    bool SetAccess(DWORD rights) {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path_.c_str(), 0, WRITE_DAC, &key) != ERROR_SUCCESS) return false;
        SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
        PSID everyone = nullptr;
        AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
        EXPLICIT_ACCESS_W access{};
        access.grfAccessPermissions = rights;
        access.grfAccessMode = SET_ACCESS;
        access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
        access.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
        access.Trustee.ptstrName = static_cast<LPWSTR>(everyone);
        PACL acl = nullptr;
        SetEntriesInAclW(1, &access, nullptr, &acl);
        SECURITY_DESCRIPTOR descriptor;
        InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
        SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE);
        const bool set = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor) == ERROR_SUCCESS;
        LocalFree(acl);
        FreeSid(everyone);
        RegCloseKey(key);
        return set;
    }

    std::wstring path_;
    bool locked_ = false;
};

}  // namespace

TEST_F(ProductSweepTest, AFailedKeyDeletionIsLoggedAfterItsAnnouncingLine) {
    WriteClassProduct(L"AAAA1111", L"Vardo(R) Tavi");
    WriteClassProduct(L"BBBB2222", L"Vardo(R) Tavi");
    LockedKey lock(kClasses + L"\\AAAA1111\\SourceList");
    ASSERT_TRUE(lock.Locked());

    SweepClassesProducts();

    EXPECT_EQ((std::vector<std::string>{
                  Line(L"Checking: ", kClasses),
                  Line(L"Bad TaviInstallGUID:(D) ", kClasses + L"\\BBBB2222"),
                  Line(L"Bad TaviInstallGUID:(D) ", kClasses + L"\\AAAA1111"),
                  Line(L"Delete failed (5): ", kClasses + L"\\AAAA1111"),
              }),
              Messages());
    EXPECT_TRUE(tavi_test::KeyExists(kClasses + L"\\AAAA1111"));
    EXPECT_FALSE(tavi_test::KeyExists(kClasses + L"\\BBBB2222"));
}
