#include "cleanup/ComponentSweep.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cleanup/GuidState.h"
#include "tests/support/SweepRegistry.h"
#include "tests/support/TestSupport.h"

using tavi_test::Line;
using tavi_test::RegistryText;
using tavi_test::kSweepKeyPaths;

namespace {

const std::wstring kComponents = kSweepKeyPaths[4];
const std::wstring kFeatures = kSweepKeyPaths[5];
const std::wstring kUninstall = kSweepKeyPaths[6];
const std::wstring kUninstall32 = kSweepKeyPaths[7];

void ListBadGuids(std::initializer_list<const wchar_t*> ids) {
    for (const wchar_t* id : ids) ASSERT_TRUE(AddBadGuid(id));
}

// Writes an Uninstall entry with the values that are not null.
void WriteUninstallEntry(const std::wstring& base, const std::wstring& name, const wchar_t* displayName,
                         const wchar_t* displayVersion) {
    const std::wstring path = base + L"\\" + name;
    ASSERT_TRUE(tavi_test::CreateKey(path));
    ASSERT_TRUE(tavi_test::WriteText(path, L"UninstallString", L"msiexec /x" + name));
    if (displayName) {
        ASSERT_TRUE(tavi_test::WriteText(path, L"DisplayName", displayName));
    }
    if (displayVersion) {
        ASSERT_TRUE(tavi_test::WriteText(path, L"DisplayVersion", displayVersion));
    }
}

const char* VerdictName(UninstallVerdict verdict) {
    switch (verdict) {
    case UninstallVerdict::NotProduct: return "NotProduct";
    case UninstallVerdict::Used: return "Used";
    case UninstallVerdict::Bad: return "Bad";
    }
    return "?";
}

class ComponentSweepTest : public tavi_test::SweepRegistryTest {};

}  // namespace

TEST(UninstallVerdictTest, ProductEntriesAreUsedWhenCurrentOrNamedByTheProductGuid) {
    const wchar_t* const guid = L"{6B1D40A2-5C3E-4F71-8A09-E2C47D15B398}";
    const struct {
        const wchar_t* app;
        const wchar_t* key;
        const wchar_t* name;
        const wchar_t* version;
        UninstallVerdict verdict;
    } cases[] = {
        {L"12.0.1.0", L"{11111111-0000-0000-0000-000000000000}", L"Vardo(R) Tavi", L"12.0.1", UninstallVerdict::Used},
        {L"12.0.1.0", L"{11111111-0000-0000-0000-000000000000}", L"Vardo(R) Tavi", L"2.0", UninstallVerdict::Bad},
        {L"12.0.1.0", L"Vardo Tavi", L"Vardo\u00AE Corvane", L"12.0", UninstallVerdict::Used},
        {L"12.0.1.0", guid, L"Vardo(R) Tavi", L"9.9", UninstallVerdict::Used},
        {L"12.0.1.0", L"{6B1D40A2-", L"Vardo(R) Tavi", nullptr, UninstallVerdict::Used},
        {L"12.0.1.0", L"5C3E", L"Vardo(R) Corvane", L"", UninstallVerdict::Used},
        {L"12.0.1.0", L"{6b1d40a2-5c3e-4f71-8a09-e2c47d15b398}", L"Vardo(R) Tavi", L"9.9", UninstallVerdict::Bad},
        {L"12.0.1.0", L"{6B1D40A2-5C3E-4F71-8A09-E2C47D15B398}.1", L"Vardo(R) Tavi", L"9.9", UninstallVerdict::Bad},
        {L"", guid, L"Vardo(R) Tavi", L"12.0.1.0", UninstallVerdict::Bad},
        {L"", L"{6B1D40A2-", L"Vardo(R) Tavi", L"", UninstallVerdict::Bad},
        {L"12.0.1.0", guid, L"Other Product", L"12.0.1.0", UninstallVerdict::NotProduct},
        {L"12.0.1.0", guid, nullptr, L"12.0.1.0", UninstallVerdict::NotProduct},
        {L"", L"{22222222-0000-0000-0000-000000000000}", L"VARDO(R) TAVI", L"1.0", UninstallVerdict::NotProduct},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << tavi_test::Narrow(c.app) << " / " << tavi_test::Narrow(c.key) << " / "
                                        << (c.name ? tavi_test::Narrow(c.name) : "(absent)") << " / "
                                        << (c.version ? tavi_test::Narrow(c.version) : "(absent)"));
        EXPECT_STREQ(VerdictName(c.verdict),
                     VerdictName(JudgeUninstallEntry(RegistryText(c.app), c.key, RegistryText(c.name),
                                                     RegistryText(c.version))));
    }
}

TEST_F(ComponentSweepTest, ComponentValuesGetOneLineAndOneDeletionPerContainedEntry) {
    ListBadGuids({L"AAAA1111", L"BBBB2222", L"CCCC333", L"DDDD4444"});
    const std::wstring first = kComponents + L"\\C1COMPONENT";
    const std::wstring second = kComponents + L"\\C2COMPONENT";
    // Values enumerate sorted by name, and the pass runs downward: ZZZZ9999, then the name
    // that contains two entries, then BBBB2222.
    for (const wchar_t* name : {L"BBBB2222", L"xxCCCC333yyAAAA1111", L"ZZZZ9999"})
        ASSERT_TRUE(tavi_test::WriteText(first, name, L"C:\\Program Files\\Tavi\\a.dll"));
    ASSERT_TRUE(tavi_test::WriteText(second, L"ZZZZ9999", L""));
    ASSERT_TRUE(tavi_test::WriteText(second, L"DDDD444", L""));  // only part of a listed id
    ASSERT_TRUE(tavi_test::WriteText(kComponents + L"\\C2COMPONENT\\Nested", L"AAAA1111", L""));
    const auto kept = tavi_test::Snapshot(second);

    SweepComponents();

    // The entries contained in one name come in list order; the second call finds the
    // value already gone, which is not reported as a failed deletion.
    EXPECT_EQ((std::vector<std::string>{
                  Line(L"Checking: ", kComponents),
                  Line(L"Bad TaviRegKey:(D) ", first + L"\\xxCCCC333yyAAAA1111"),
                  Line(L"Bad TaviRegKey:(D) ", first + L"\\xxCCCC333yyAAAA1111"),
                  Line(L"Bad TaviRegKey:(D) ", first + L"\\BBBB2222"),
              }),
              Messages());
    EXPECT_EQ((std::vector<std::wstring>{L"ZZZZ9999"}), tavi_test::ValueNames(first));
    EXPECT_EQ(kept, tavi_test::Snapshot(second));
}

TEST_F(ComponentSweepTest, EmptyListLeavesEveryComponentValue) {
    ASSERT_TRUE(tavi_test::WriteText(kComponents + L"\\C1COMPONENT", L"AAAA1111", L""));
    ASSERT_TRUE(tavi_test::WriteText(kComponents + L"\\C2COMPONENT", L"BBBB2222", L""));
    const auto before = tavi_test::Snapshot(kComponents);

    SweepComponents();
    SweepFeatures();

    EXPECT_EQ((std::vector<std::string>{Line(L"Checking: ", kComponents), Line(L"Checking: ", kFeatures)}),
              Messages());
    EXPECT_EQ(before, tavi_test::Snapshot(kComponents));
}

TEST_F(ComponentSweepTest, FeaturesWritesALineForEveryEntryAndDeletesOnlyListedKeys) {
    ListBadGuids({L"AAAA1111", L"BBBB2222"});
    ASSERT_TRUE(tavi_test::WriteText(kFeatures + L"\\AAAA1111\\Sub", L"Feature", L""));
    ASSERT_TRUE(tavi_test::WriteText(kFeatures + L"\\AAAA11110", L"Feature", L""));
    ASSERT_TRUE(tavi_test::WriteText(kFeatures + L"\\EEEE5555", L"Feature", L""));

    SweepFeatures();

    // BBBB2222 has no key: its line is written and no failure follows.
    EXPECT_EQ((std::vector<std::string>{
                  Line(L"Checking: ", kFeatures),
                  Line(L"Bad TaviInstallGUID:(D) ", kFeatures + L"\\AAAA1111"),
                  Line(L"Bad TaviInstallGUID:(D) ", kFeatures + L"\\BBBB2222"),
              }),
              Messages());
    EXPECT_EQ((std::vector<std::wstring>{L"AAAA11110", L"EEEE5555"}), tavi_test::SubkeyNames(kFeatures));
}

TEST_F(ComponentSweepTest, UninstallKeepsCurrentAndProductGuidEntriesAndLeavesForeignOnes) {
    for (const std::wstring& base : {kUninstall, kUninstall32}) {
        WriteUninstallEntry(base, L"{11111111-0000-0000-0000-000000000001}", L"Vardo(R) Tavi", L"12.0.1");
        WriteUninstallEntry(base, L"{22222222-0000-0000-0000-000000000002}", L"Vardo(R) Corvane", L"11.0");
        WriteUninstallEntry(base, L"{6B1D40A2-", L"Vardo(R) Tavi 3.5 Extras", L"3.5");
        WriteUninstallEntry(base, L"{6B1D40A2-5C3E-4F71-8A09-E2C47D15B398}", L"Vardo\u00AE Corvane", L"9.0");
        WriteUninstallEntry(base, L"{6B1D40A2-5C3E-4F71-8A09-E2C47D15B399}", L"Vardo(R) Tavi", L"9.0");
        WriteUninstallEntry(base, L"OtherApp", L"Other App", L"2.0");
        WriteUninstallEntry(base, L"{6B1D40A2-5C3E-4F71-8A09-E2C47D15B397}", nullptr, L"2.0");
    }
    const auto foreign = tavi_test::Snapshot(kUninstall + L"\\OtherApp");
    const auto nameless = tavi_test::Snapshot(kUninstall + L"\\{6B1D40A2-5C3E-4F71-8A09-E2C47D15B397}");

    SweepUninstall(kUninstall.c_str(), RegistryText(L"12.0.1.0"));
    SweepUninstall(kUninstall32.c_str(), RegistryText(L"12.0.1.0"));

    std::vector<std::string> expected;
    for (const std::wstring& base : {kUninstall, kUninstall32}) {
        expected.push_back(Line(L"Checking: ", base));
        expected.push_back(Line(L"Bad TaviUninstallGUID:(D) ", base + L"\\{6B1D40A2-5C3E-4F71-8A09-E2C47D15B399}"));
        expected.push_back(Line(L"Used TaviUninstallGUID: ", base + L"\\{6B1D40A2-5C3E-4F71-8A09-E2C47D15B398}"));
        expected.push_back(Line(L"Used TaviUninstallGUID: ", base + L"\\{6B1D40A2-"));
        expected.push_back(Line(L"Bad TaviUninstallGUID:(D) ", base + L"\\{22222222-0000-0000-0000-000000000002}"));
        expected.push_back(Line(L"Used TaviUninstallGUID: ", base + L"\\{11111111-0000-0000-0000-000000000001}"));
    }
    EXPECT_EQ(expected, Messages());
    for (const std::wstring& base : {kUninstall, kUninstall32}) {
        EXPECT_EQ((std::vector<std::wstring>{L"OtherApp", L"{11111111-0000-0000-0000-000000000001}", L"{6B1D40A2-",
                                             L"{6B1D40A2-5C3E-4F71-8A09-E2C47D15B397}",
                                             L"{6B1D40A2-5C3E-4F71-8A09-E2C47D15B398}"}),
                  tavi_test::SubkeyNames(base));
    }
    EXPECT_EQ(foreign, tavi_test::Snapshot(kUninstall + L"\\OtherApp"));
    EXPECT_EQ(nameless, tavi_test::Snapshot(kUninstall + L"\\{6B1D40A2-5C3E-4F71-8A09-E2C47D15B397}"));
    EXPECT_TRUE(BadGuidList.empty());
    EXPECT_EQ(0, UsedInstallGuid.Length());
}

TEST_F(ComponentSweepTest, UninstallWithEmptyApplicationVersionDeletesEveryProductEntry) {
    WriteUninstallEntry(kUninstall, L"{6B1D40A2-5C3E-4F71-8A09-E2C47D15B398}", L"Vardo(R) Tavi", L"12.0.1.0");
    WriteUninstallEntry(kUninstall, L"{6B1D40A2-", L"Vardo(R) Corvane", L"");
    WriteUninstallEntry(kUninstall, L"{6B1D40A2-5C3E-4F71-8A09-E2C47D15B397}", L"Other App", L"12.0.1.0");

    SweepUninstall(kUninstall.c_str(), orb::String());

    EXPECT_EQ((std::vector<std::string>{
                  Line(L"Checking: ", kUninstall),
                  Line(L"Bad TaviUninstallGUID:(D) ", kUninstall + L"\\{6B1D40A2-5C3E-4F71-8A09-E2C47D15B398}"),
                  Line(L"Bad TaviUninstallGUID:(D) ", kUninstall + L"\\{6B1D40A2-"),
              }),
              Messages());
    EXPECT_EQ((std::vector<std::wstring>{L"{6B1D40A2-5C3E-4F71-8A09-E2C47D15B397}"}),
              tavi_test::SubkeyNames(kUninstall));
}
