#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "cleanup/ComponentSweep.h"
#include "cleanup/GuidState.h"
#include "cleanup/ProductSweep.h"
#include "tests/support/SweepRegistry.h"
#include "tests/support/TestSupport.h"

using tavi_test::kSweepKeyPaths;

namespace {

const std::wstring kCurrent = L"1A2B3C4D5E6F708192A3B4C5D6E7F809";
const std::wstring kStale = L"9F8E7D6C5B4A39281706F5E4D3C2B1A0";
const std::wstring kCorvane = L"0123456789ABCDEF0123456789ABCDEF";
const std::wstring kStaleUninstall = L"{D6C5B4A3-9281-706F-5E4D-3C2B1A09F8E7}";
const std::wstring kCorvaneUninstall = L"{98765432-10FE-DCBA-9876-543210FEDCBA}";

std::wstring Key(int stage, const std::wstring& name) { return std::wstring(kSweepKeyPaths[stage - 1]) + L"\\" + name; }

// A key name of 255 characters, the longest the registry allows.
std::wstring LongName(wchar_t first) { return std::wstring(1, first) + std::wstring(254, L'q'); }

// Writes beside the product's registrations one of each kind of foreign registration
// into the key at path: each entry a subkey whose text values (under the name display,
// "DisplayName" or "ProductName") sit in its key or, with a suffix, in the key below it.
void WriteForeignEntries(const std::wstring& path, const wchar_t* display, const wchar_t* suffix = L"") {
    const DWORD number = 12;
    const char oddText[] = "O\0t\0h\0e\0r\0 \0T\0o\0o\0l";  // 19 bytes, no terminator
    const std::wstring other = path + L"\\OtherVendorProduct" + suffix;
    ASSERT_TRUE(tavi_test::WriteText(other, display, L"Other Vendor Product"));
    ASSERT_TRUE(tavi_test::WriteText(other, L"DisplayVersion", L"12.0.1.0"));
    ASSERT_TRUE(tavi_test::WriteText(other + L"\\Child", L"Vardo(R) Tavi", L"Vardo(R) Tavi"));
    ASSERT_TRUE(tavi_test::WriteText(path + L"\\" + LongName(L'L') + suffix, display, L"Another Tool"));
    ASSERT_TRUE(tavi_test::WriteRaw(path + L"\\DwordName" + suffix, display, REG_DWORD, &number, sizeof(number)));
    ASSERT_TRUE(tavi_test::WriteRaw(path + L"\\OddName" + suffix, display, REG_SZ, oddText, sizeof(oddText) - 1));
    ASSERT_TRUE(tavi_test::WriteText(path + L"\\Wide\u0416\u4E2D" + suffix, display, L"\u0416\u4E2D Vardo Tavi"));
    ASSERT_TRUE(tavi_test::WriteText(path + L"\\VardoLower" + suffix, display, L"vardo(r) tavi"));
    ASSERT_TRUE(tavi_test::WriteText(path + L"\\NoName" + suffix, L"DisplayVersion", L"1.0"));
    ASSERT_TRUE(tavi_test::CreateKey(path + L"\\NoValues"));
}

// Writes a product registration's text values into the key at path.
void WriteProduct(const std::wstring& path, const wchar_t* display, const wchar_t* name, const wchar_t* version) {
    ASSERT_TRUE(tavi_test::WriteText(path, display, name));
    ASSERT_TRUE(tavi_test::WriteText(path, L"DisplayVersion", version));
}

class ForeignRegistrationTest : public tavi_test::SweepRegistryTest {};

}  // namespace

TEST_F(ForeignRegistrationTest, AllStagesRemoveOnlyTheStaleProductsRegistrations) {
    const std::wstring properties = L"\\InstallProperties";
    WriteProduct(Key(1, kCurrent) + properties, L"DisplayName", L"Vardo(R) Tavi", L"12.0.1.0");
    WriteProduct(Key(1, kStale) + properties, L"DisplayName", L"Vardo(R) Tavi", L"11.0.3.0");
    WriteProduct(Key(1, kCorvane) + properties, L"DisplayName", L"Vardo\u00AE Corvane", L"10.0");
    WriteForeignEntries(kSweepKeyPaths[0], L"DisplayName", L"\\InstallProperties");
    // A product name outside "InstallProperties" does not count.
    ASSERT_TRUE(tavi_test::WriteText(Key(1, L"NoProperties"), L"DisplayName", L"Vardo(R) Tavi"));
    WriteProduct(Key(2, kCurrent), L"ProductName", L"Vardo(R) Tavi", L"12.0.1.0");
    WriteProduct(Key(2, kStale), L"ProductName", L"Vardo(R) Tavi", L"11.0.3.0");
    WriteProduct(Key(2, kCorvane), L"ProductName", L"Vardo(R) Corvane", L"10.0");
    WriteForeignEntries(kSweepKeyPaths[1], L"ProductName");
    for (int stage : {3, 4}) {
        for (const std::wstring& id : {kCurrent, kStale, kCorvane})
            ASSERT_TRUE(tavi_test::WriteText(kSweepKeyPaths[stage - 1], id.c_str(), L""));
        // Another product's upgrade code beside the product's own key.
        ASSERT_TRUE(tavi_test::WriteText(std::wstring(kSweepKeyPaths[stage - 1]) + L"0", kStale.c_str(), L""));
    }
    for (const std::wstring& component : {std::wstring(L"C0MP0NENT1"), LongName(L'C')}) {
        ASSERT_TRUE(tavi_test::WriteText(Key(5, component), kCurrent.c_str(), L"C:\\Tavi\\a.dll"));
        ASSERT_TRUE(tavi_test::WriteText(Key(5, component), kStale.c_str(), L"C:\\Tavi\\a.dll"));
        ASSERT_TRUE(tavi_test::WriteText(Key(5, component), LongName(L'V').c_str(), L"C:\\Other\\b.dll"));
        ASSERT_TRUE(tavi_test::WriteText(Key(5, component), L"Other\u0416", L"C:\\Other\\c.dll"));
        ASSERT_TRUE(tavi_test::WriteRaw(Key(5, component), L"OddValue", REG_BINARY, "abc", 3));
    }
    ASSERT_TRUE(tavi_test::WriteText(Key(5, L"C0MP0NENT2"), kCorvane.c_str(), L""));
    WriteForeignEntries(kSweepKeyPaths[4], L"DisplayName");
    for (const std::wstring& id : {kCurrent, kStale, kCorvane})
        ASSERT_TRUE(tavi_test::WriteText(Key(6, id), L"Complete", L""));
    WriteForeignEntries(kSweepKeyPaths[5], L"DisplayName");
    WriteProduct(Key(7, L"{6B1D40A2-5C3E-4F71-8A09-E2C47D15B398}"), L"DisplayName", L"Vardo(R) Tavi", L"12.0.1.0");
    WriteProduct(Key(7, kStaleUninstall), L"DisplayName", L"Vardo(R) Tavi", L"11.0.3.0");
    WriteForeignEntries(kSweepKeyPaths[6], L"DisplayName");
    WriteProduct(Key(8, kCorvaneUninstall), L"DisplayName", L"Vardo(R) Corvane", L"10.0");
    WriteForeignEntries(kSweepKeyPaths[7], L"DisplayName");

    std::map<std::wstring, std::string> before;
    for (const wchar_t* path : kSweepKeyPaths) {
        const auto tree = tavi_test::Snapshot(path);
        before.insert(tree.begin(), tree.end());
    }
    for (int stage : {3, 4}) {
        const auto sibling = tavi_test::Snapshot(std::wstring(kSweepKeyPaths[stage - 1]) + L"0");
        before.insert(sibling.begin(), sibling.end());
    }

    const orb::String appVersion(L"12.0.1.0");
    SweepUserDataProducts(appVersion);
    SweepClassesProducts();
    SweepUpgradeCodes(kSweepKeyPaths[2]);
    SweepUpgradeCodes(kSweepKeyPaths[3]);
    SweepComponents();
    SweepFeatures();
    SweepUninstall(kSweepKeyPaths[6], appVersion);
    SweepUninstall(kSweepKeyPaths[7], appVersion);

    std::map<std::wstring, std::string> after;
    for (const auto& entry : before) {
        const std::wstring& path = entry.first;
        const std::wstring keyPath = path.substr(0, path.find(L'|'));
        if (!tavi_test::KeyExists(keyPath)) continue;
        const auto tree = tavi_test::Snapshot(keyPath);
        after.insert(tree.begin(), tree.end());
    }
    // What the sweep may remove: the stale products' keys (with everything below them)
    // and values, nothing else.
    const std::vector<std::wstring> removedKeys = {
        Key(1, kStale), Key(1, kCorvane), Key(2, kStale), Key(2, kCorvane), Key(6, kStale), Key(6, kCorvane),
        Key(7, kStaleUninstall), Key(8, kCorvaneUninstall)};
    const std::vector<std::wstring> removedValues = {
        std::wstring(kSweepKeyPaths[2]) + L"|" + kStale, std::wstring(kSweepKeyPaths[2]) + L"|" + kCorvane,
        std::wstring(kSweepKeyPaths[3]) + L"|" + kStale, std::wstring(kSweepKeyPaths[3]) + L"|" + kCorvane,
        Key(5, L"C0MP0NENT1") + L"|" + kStale, Key(5, LongName(L'C')) + L"|" + kStale,
        Key(5, L"C0MP0NENT2") + L"|" + kCorvane};
    for (const std::wstring& key : removedKeys) ASSERT_TRUE(before.count(key)) << tavi_test::Narrow(key);
    for (const std::wstring& value : removedValues) ASSERT_TRUE(before.count(value)) << tavi_test::Narrow(value);
    std::map<std::wstring, std::string> expected = before;
    for (auto entry = expected.begin(); entry != expected.end();) {
        bool removed = false;
        for (const std::wstring& key : removedKeys)
            removed = removed || entry->first == key || entry->first.rfind(key + L"\\", 0) == 0 ||
                      entry->first.rfind(key + L"|", 0) == 0;
        for (const std::wstring& value : removedValues) removed = removed || entry->first == value;
        entry = removed ? expected.erase(entry) : std::next(entry);
    }
    for (const auto& entry : expected)
        EXPECT_TRUE(after.count(entry.first) && after.at(entry.first) == entry.second)
            << "changed or gone: " << tavi_test::Narrow(entry.first);
    for (const auto& entry : after)
        EXPECT_TRUE(expected.count(entry.first)) << "should be gone: " << tavi_test::Narrow(entry.first);
    EXPECT_STREQ(kCurrent.c_str(), UsedInstallGuid.Text());
    for (const std::string& message : Messages())
        EXPECT_EQ(std::string::npos, message.find("Delete failed")) << message;
}
