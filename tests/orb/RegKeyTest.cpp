#include "orb/RegKey.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/support/ImportHook.h"

namespace {

const wchar_t kSandbox[] = L"Software\\TaviRegKeyTest";

// A fresh HKEY_CURRENT_USER key for each test, deleted afterwards.
class RegKeyTest : public testing::Test {
protected:
    void SetUp() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, kSandbox);
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, kSandbox, 0, nullptr, 0, KEY_ALL_ACCESS,
                                                 nullptr, &sandbox_, nullptr));
    }
    void TearDown() override {
        RegCloseKey(sandbox_);
        RegDeleteTreeW(HKEY_CURRENT_USER, kSandbox);
        RegDeleteKeyW(HKEY_CURRENT_USER, kSandbox);
    }
    void OpenInto(orb::RegKey& holder) {
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, kSandbox, 0, KEY_ALL_ACCESS, holder.Receive()));
    }
    void Write(const wchar_t* name, DWORD type, const void* data, DWORD size) {
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(sandbox_, name, 0, type, static_cast<const BYTE*>(data), size));
    }

    HKEY sandbox_ = nullptr;
};

bool IsOpen(HKEY key) {
    DWORD values = 0;
    return RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                            nullptr, nullptr) == ERROR_SUCCESS;
}

}  // namespace

TEST_F(RegKeyTest, ClosesItsKeyOnceWhateverFollowsTheFirstClose) {
    HKEY reopened = nullptr;
    {
        orb::RegKey empty;
        empty.Close();
        EXPECT_EQ(nullptr, empty.Handle());

        orb::RegKey holder;
        OpenInto(holder);
        const HKEY held = holder.Handle();
        holder.Close();
        EXPECT_EQ(nullptr, holder.Handle());
        EXPECT_FALSE(IsOpen(held));
        // The next key opened takes the released handle value, so a second close by the
        // holder (Close again, or its destructor) would close this foreign key.
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, kSandbox, 0, KEY_READ, &reopened));
        ASSERT_EQ(held, reopened);
        holder.Close();
    }
    EXPECT_TRUE(IsOpen(reopened));
    RegCloseKey(reopened);
}

TEST_F(RegKeyTest, DestructionAndReceiveCloseTheKeyHeld) {
    HKEY held = nullptr;
    {
        orb::RegKey holder;
        OpenInto(holder);
        const HKEY replaced = holder.Handle();
        HKEY* slot = holder.Receive();
        EXPECT_EQ(nullptr, *slot);
        EXPECT_FALSE(IsOpen(replaced));
        OpenInto(holder);
        held = holder.Handle();
        EXPECT_TRUE(IsOpen(held));
    }
    EXPECT_FALSE(IsOpen(held));
}

TEST_F(RegKeyTest, ReadsAnyValueAsTerminatedTextOfSizeHalvedPlusOne) {
    const DWORD letters = 0x00420041;  // 'A', 'B'
    const DWORD letter = 0x41;
    const struct {
        const char* label;
        DWORD type;
        const void* data;
        DWORD size;
        const wchar_t* expected;
        std::size_t capacity;
    } cases[] = {
        {"REG_SZ with terminator", REG_SZ, L"abc", 8, L"abc", 5},
        // Wine reports an unterminated REG_SZ two bytes longer, so the raw form is stored.
        {"text without terminator", REG_BINARY, L"abc", 6, L"abc", 4},
        {"empty REG_SZ with terminator", REG_SZ, L"", 2, L"", 2},
        {"DWORD of two characters", REG_DWORD, &letters, 4, L"AB", 3},
        {"DWORD ending at its zero half", REG_DWORD, &letter, 4, L"A", 3},
        {"odd size", REG_BINARY, L"abcd", 7, L"abc", 4},
        {"one byte", REG_BINARY, L"a", 1, L"", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        Write(L"Value", c.type, c.data, c.size);
        orb::RegKey holder;
        OpenInto(holder);
        orb::String fresh;
        holder.ReadTextValue(L"Value", fresh);
        ASSERT_NE(nullptr, fresh.Text());
        EXPECT_STREQ(c.expected, fresh.Text());
        EXPECT_EQ(c.capacity, fresh.Capacity());

        // A buffer that held a longer text shows none of it afterwards.
        orb::String reused(L"previous longer text");
        holder.ReadTextValue(L"Value", reused);
        EXPECT_STREQ(c.expected, reused.Text());
    }
}

TEST_F(RegKeyTest, MissingOrZeroSizedValuesLeaveTheOutputAsItWas) {
    Write(L"Empty", REG_SZ, L"", 0);
    orb::RegKey holder;
    OpenInto(holder);
    for (const wchar_t* name : {L"Empty", L"Missing"}) {
        SCOPED_TRACE(testing::Message() << (name[0] == L'E' ? "size 0" : "missing"));
        orb::String kept(L"kept");
        holder.ReadTextValue(name, kept);
        EXPECT_STREQ(L"kept", kept.Text());
        orb::String absent;
        holder.ReadTextValue(name, absent);
        EXPECT_EQ(nullptr, absent.Text());
    }
}

namespace {

tavi_test::ImportHook* queryHook = nullptr;
HKEY growKey = nullptr;
std::size_t grownLength = 8;

// Grows the value between the size query and the data query, as another process might.
LSTATUS WINAPI QueryWhileGrowing(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size) {
    if (data) {
        grownLength *= 2;
        const std::wstring longer(grownLength, L'x');
        RegSetValueExW(growKey, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(longer.c_str()),
                       static_cast<DWORD>((longer.size() + 1) * sizeof(wchar_t)));
    }
    return queryHook->Original<decltype(&QueryWhileGrowing)>()(key, name, reserved, type, data, size);
}

}  // namespace

TEST_F(RegKeyTest, FailedSecondQueryGivesAnEmptyText) {
    Write(L"Value", REG_SZ, L"abc", 8);
    orb::RegKey holder;
    OpenInto(holder);
    growKey = sandbox_;
    tavi_test::ImportHook hook("advapi32.dll", "RegQueryValueExW", reinterpret_cast<void*>(&QueryWhileGrowing));
    ASSERT_TRUE(hook.Installed());
    queryHook = &hook;

    orb::String fresh;
    holder.ReadTextValue(L"Value", fresh);
    orb::String reused(L"previous");
    holder.ReadTextValue(L"Value", reused);

    queryHook = nullptr;
    ASSERT_NE(nullptr, fresh.Text());
    EXPECT_STREQ(L"", fresh.Text());
    EXPECT_STREQ(L"", reused.Text());
}
