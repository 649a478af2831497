#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "orb/String.h"
#include "tests/support/LogCapture.h"

namespace tavi_test {

// The HKEY_LOCAL_MACHINE key paths of the sweep stages 1 to 8, in stage order.
extern const wchar_t* const kSweepKeyPaths[8];
// The key paths of the first stages stages as the log writes them (8-bit text).
std::vector<std::string> SweepKeyTexts(size_t stages);

// A String as a registry read leaves it: "" gives a present but empty text (a buffer
// holding only the terminator), null an absent one (no buffer).
orb::String RegistryText(const wchar_t* text);

// Registry helpers, all under HKEY_LOCAL_MACHINE. Writers create missing keys and give
// false when a call fails.
bool CreateKey(const std::wstring& path);
// A REG_SZ value stored with its terminator.
bool WriteText(const std::wstring& path, const wchar_t* name, const std::wstring& text);
bool WriteRaw(const std::wstring& path, const wchar_t* name, DWORD type, const void* data, DWORD size);
bool KeyExists(const std::wstring& path);
bool ValueExists(const std::wstring& path, const wchar_t* name);
// Names in enumeration order; empty for a missing key.
std::vector<std::wstring> SubkeyNames(const std::wstring& path);
std::vector<std::wstring> ValueNames(const std::wstring& path);
void DeleteKeyTree(const std::wstring& path);
// Every key and value below path (path included), each value as its type and its bytes,
// for comparing a tree before and after a stage.
std::map<std::wstring, std::string> Snapshot(const std::wstring& path);
// Snapshot of the eight stage keys and of each further root, merged into one map.
std::map<std::wstring, std::string> SnapshotSweptKeys(const std::vector<std::wstring>& furtherRoots = {});

// What a sweep may remove: keys, each with everything below it, and values named as in a
// snapshot ("key|name").
struct Removals {
    std::vector<std::wstring> keys;
    std::vector<std::wstring> values;
};

// Success when after holds exactly the entries of before, bytes included, less the
// removals; otherwise every entry changed, gone or left behind is named. A removal that
// before does not hold fails too, since its absence afterwards would prove nothing.
testing::AssertionResult OnlyRemoved(const std::map<std::wstring, std::string>& before,
                                     const std::map<std::wstring, std::string>& after,
                                     const Removals& removals);

// Deletes the stage keys with everything below them (stage 3 and 4's keys only, not
// their parents).
void ClearSweptKeys();

// "prefix" followed by path: the narrow form of a log message naming path.
std::string Line(const wchar_t* prefix, const std::wstring& path);

// Clears the sweep stages' keys and the GUID state before and after each test, and marks
// the log where the test begins.
class SweepRegistryTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Messages the stages logged since the last call (or since SetUp).
    std::vector<std::string> Messages() { return log_->NewMessages(); }

private:
    void Clear();
    std::unique_ptr<LogCapture> log_;
};

}  // namespace tavi_test
