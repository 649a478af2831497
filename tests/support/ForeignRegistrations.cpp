#include "tests/support/ForeignRegistrations.h"

namespace tavi_test {

const wchar_t kForeignFixtureCurrent[] = L"1A2B3C4D5E6F708192A3B4C5D6E7F809";

namespace {

const std::wstring kCurrent = kForeignFixtureCurrent;
const std::wstring kStale = L"9F8E7D6C5B4A39281706F5E4D3C2B1A0";
const std::wstring kCorvane = L"0123456789ABCDEF0123456789ABCDEF";
const std::wstring kStaleUninstall = L"{D6C5B4A3-9281-706F-5E4D-3C2B1A09F8E7}";
const std::wstring kCorvaneUninstall = L"{98765432-10FE-DCBA-9876-543210FEDCBA}";

std::wstring Key(int stage, const std::wstring& name) { return std::wstring(kSweepKeyPaths[stage - 1]) + L"\\" + name; }

// A key name of 255 characters, the longest the registry allows.
std::wstring LongName(wchar_t first) { return std::wstring(1, first) + std::wstring(254, L'q'); }

// Another product's upgrade-code key, whose name begins with the product's own.
std::wstring SiblingUpgradeKey(int stage) { return std::wstring(kSweepKeyPaths[stage - 1]) + L"0"; }

// Writes beside the product's registrations one of each kind of foreign registration
// into the key at path: each entry a subkey whose text values (under the name display,
// "DisplayName" or "ProductName") sit in its key or, with a suffix, in the key below it.
void WriteForeignEntries(const std::wstring& path, const wchar_t* display, const wchar_t* suffix = L"") {
    const DWORD number = 12;
    const char oddText[] = "O\0t\0h\0e\0r\0 \0T\0o\0o\0l";  // 19 bytes, no terminator
    const std::wstring other = path + L"\\OtherVendorProduct" + suffix;
    ASSERT_TRUE(WriteText(other, display, L"Other Vendor Product"));
    ASSERT_TRUE(WriteText(other, L"DisplayVersion", L"12.0.1.0"));
    ASSERT_TRUE(WriteText(other + L"\\Child", L"Vardo(R) Tavi", L"Vardo(R) Tavi"));
    ASSERT_TRUE(WriteText(path + L"\\" + LongName(L'L') + suffix, display, L"Another Tool"));
    ASSERT_TRUE(WriteRaw(path + L"\\DwordName" + suffix, display, REG_DWORD, &number, sizeof(number)));
    ASSERT_TRUE(WriteRaw(path + L"\\OddName" + suffix, display, REG_SZ, oddText, sizeof(oddText) - 1));
    ASSERT_TRUE(WriteText(path + L"\\Wide\u0416\u4E2D" + suffix, display, L"\u0416\u4E2D Vardo Tavi"));
    ASSERT_TRUE(WriteText(path + L"\\VardoLower" + suffix, display, L"vardo(r) tavi"));
    ASSERT_TRUE(WriteText(path + L"\\NoName" + suffix, L"DisplayVersion", L"1.0"));
    ASSERT_TRUE(CreateKey(path + L"\\NoValues"));
}

// Writes a product registration's text values into the key at path.
void WriteProduct(const std::wstring& path, const wchar_t* display, const wchar_t* name, const wchar_t* version) {
    ASSERT_TRUE(WriteText(path, display, name));
    ASSERT_TRUE(WriteText(path, L"DisplayVersion", version));
}

}  // namespace

void WriteForeignFixture() {
    const std::wstring properties = L"\\InstallProperties";
    ASSERT_NO_FATAL_FAILURE(WriteProduct(Key(1, kCurrent) + properties, L"DisplayName", L"Vardo(R) Tavi", L"12.0.1.0"));
    ASSERT_NO_FATAL_FAILURE(WriteProduct(Key(1, kStale) + properties, L"DisplayName", L"Vardo(R) Tavi", L"11.0.3.0"));
    ASSERT_NO_FATAL_FAILURE(WriteProduct(Key(1, kCorvane) + properties, L"DisplayName", L"Vardo\u00AE Corvane", L"10.0"));
    ASSERT_NO_FATAL_FAILURE(WriteForeignEntries(kSweepKeyPaths[0], L"DisplayName", L"\\InstallProperties"));
    // A product name outside "InstallProperties" does not count.
    ASSERT_TRUE(WriteText(Key(1, L"NoProperties"), L"DisplayName", L"Vardo(R) Tavi"));
    ASSERT_NO_FATAL_FAILURE(WriteProduct(Key(2, kCurrent), L"ProductName", L"Vardo(R) Tavi", L"12.0.1.0"));
    ASSERT_NO_FATAL_FAILURE(WriteProduct(Key(2, kStale), L"ProductName", L"Vardo(R) Tavi", L"11.0.3.0"));
    ASSERT_NO_FATAL_FAILURE(WriteProduct(Key(2, kCorvane), L"ProductName", L"Vardo(R) Corvane", L"10.0"));
    ASSERT_NO_FATAL_FAILURE(WriteForeignEntries(kSweepKeyPaths[1], L"ProductName"));
    for (int stage : {3, 4}) {
        for (const std::wstring& id : {kCurrent, kStale, kCorvane})
            ASSERT_TRUE(WriteText(kSweepKeyPaths[stage - 1], id.c_str(), L""));
        ASSERT_TRUE(WriteText(SiblingUpgradeKey(stage), kStale.c_str(), L""));
    }
    for (const std::wstring& component : {std::wstring(L"C0MP0NENT1"), LongName(L'C')}) {
        ASSERT_TRUE(WriteText(Key(5, component), kCurrent.c_str(), L"C:\\Tavi\\a.dll"));
        ASSERT_TRUE(WriteText(Key(5, component), kStale.c_str(), L"C:\\Tavi\\a.dll"));
        ASSERT_TRUE(WriteText(Key(5, component), LongName(L'V').c_str(), L"C:\\Other\\b.dll"));
        ASSERT_TRUE(WriteText(Key(5, component), L"Other\u0416", L"C:\\Other\\c.dll"));
        ASSERT_TRUE(WriteRaw(Key(5, component), L"OddValue", REG_BINARY, "abc", 3));
    }
    ASSERT_TRUE(WriteText(Key(5, L"C0MP0NENT2"), kCorvane.c_str(), L""));
    ASSERT_NO_FATAL_FAILURE(WriteForeignEntries(kSweepKeyPaths[4], L"DisplayName"));
    for (const std::wstring& id : {kCurrent, kStale, kCorvane})
        ASSERT_TRUE(WriteText(Key(6, id), L"Complete", L""));
    ASSERT_NO_FATAL_FAILURE(WriteForeignEntries(kSweepKeyPaths[5], L"DisplayName"));
    ASSERT_NO_FATAL_FAILURE(
        WriteProduct(Key(7, L"{6B1D40A2-5C3E-4F71-8A09-E2C47D15B398}"), L"DisplayName", L"Vardo(R) Tavi", L"12.0.1.0"));
    ASSERT_NO_FATAL_FAILURE(WriteProduct(Key(7, kStaleUninstall), L"DisplayName", L"Vardo(R) Tavi", L"11.0.3.0"));
    ASSERT_NO_FATAL_FAILURE(WriteForeignEntries(kSweepKeyPaths[6], L"DisplayName"));
    ASSERT_NO_FATAL_FAILURE(WriteProduct(Key(8, kCorvaneUninstall), L"DisplayName", L"Vardo(R) Corvane", L"10.0"));
    ASSERT_NO_FATAL_FAILURE(WriteForeignEntries(kSweepKeyPaths[7], L"DisplayName"));
}

std::map<std::wstring, std::string> SnapshotForeignFixture() {
    return SnapshotSweptKeys({SiblingUpgradeKey(3), SiblingUpgradeKey(4)});
}

Removals ForeignFixtureRemovals(bool sweepsWow6432Node) {
    Removals removals;
    removals.keys = {Key(1, kStale), Key(1, kCorvane), Key(2, kStale), Key(2, kCorvane),
                     Key(6, kStale), Key(6, kCorvane), Key(7, kStaleUninstall)};
    if (sweepsWow6432Node) removals.keys.push_back(Key(8, kCorvaneUninstall));
    for (int stage : {3, 4})
        for (const std::wstring& id : {kStale, kCorvane})
            removals.values.push_back(std::wstring(kSweepKeyPaths[stage - 1]) + L"|" + id);
    removals.values.push_back(Key(5, L"C0MP0NENT1") + L"|" + kStale);
    removals.values.push_back(Key(5, LongName(L'C')) + L"|" + kStale);
    removals.values.push_back(Key(5, L"C0MP0NENT2") + L"|" + kCorvane);
    return removals;
}

}  // namespace tavi_test
