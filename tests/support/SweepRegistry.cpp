#include "tests/support/SweepRegistry.h"

#include "cleanup/GuidState.h"
#include "tests/support/TestSupport.h"

namespace tavi_test {

const wchar_t* const kSweepKeyPaths[8] = {
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Products",
    L"SOFTWARE\\Classes\\Installer\\Products",
    L"SOFTWARE\\Classes\\Installer\\UpgradeCodes\\7E2A05C9B41D3F86A0C5E7291B8D4F30",
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UpgradeCodes\\7E2A05C9B41D3F86A0C5E7291B8D4F30",
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Components",
    L"SOFTWARE\\Classes\\Installer\\Features",
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
    L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
};

orb::String RegistryText(const wchar_t* text) {
    orb::String result;
    if (text) result.Assign(text);
    if (text && !*text) result.WritableBuffer(1);
    return result;
}

std::vector<std::string> SweepKeyTexts(size_t stages) {
    std::vector<std::string> texts;
    for (size_t i = 0; i < stages && i < 8; ++i) texts.push_back(Narrow(kSweepKeyPaths[i]));
    return texts;
}

namespace {

// Holds a key opened by the helpers below; closes it when released.
struct OpenKey {
    HKEY handle = nullptr;
    ~OpenKey() {
        if (handle) RegCloseKey(handle);
    }
};

bool Open(const std::wstring& path, OpenKey& key) {
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key.handle) == ERROR_SUCCESS;
}

void SnapshotInto(const std::wstring& path, std::map<std::wstring, std::string>& out) {
    OpenKey key;
    if (!Open(path, key)) return;
    out[path] = std::string();
    for (DWORD index = 0;; ++index) {
        wchar_t name[16384];
        DWORD nameLength = 16384;
        DWORD type = 0;
        DWORD size = 0;
        if (RegEnumValueW(key.handle, index, name, &nameLength, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            break;
        std::string data(size, '\0');
        DWORD read = size;
        RegQueryValueExW(key.handle, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&data[0]), &read);
        out[path + L"|" + name] = std::to_string(type) + ":" + data.substr(0, read);
    }
    for (const std::wstring& child : SubkeyNames(path)) SnapshotInto(path + L"\\" + child, out);
}

}  // namespace

bool CreateKey(const std::wstring& path) {
    OpenKey key;
    return RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                           &key.handle, nullptr) == ERROR_SUCCESS;
}

bool WriteText(const std::wstring& path, const wchar_t* name, const std::wstring& text) {
    return WriteRaw(path, name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

bool WriteRaw(const std::wstring& path, const wchar_t* name, DWORD type, const void* data, DWORD size) {
    OpenKey key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key.handle,
                        nullptr) != ERROR_SUCCESS)
        return false;
    return RegSetValueExW(key.handle, name, 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
}

bool KeyExists(const std::wstring& path) {
    OpenKey key;
    return Open(path, key);
}

bool ValueExists(const std::wstring& path, const wchar_t* name) {
    OpenKey key;
    return Open(path, key) && RegQueryValueExW(key.handle, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

std::vector<std::wstring> SubkeyNames(const std::wstring& path) {
    std::vector<std::wstring> names;
    OpenKey key;
    if (!Open(path, key)) return names;
    wchar_t name[512];
    for (DWORD index = 0;; ++index) {
        DWORD length = 512;
        if (RegEnumKeyExW(key.handle, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    return names;
}

std::vector<std::wstring> ValueNames(const std::wstring& path) {
    std::vector<std::wstring> names;
    OpenKey key;
    if (!Open(path, key)) return names;
    std::vector<wchar_t> name(16384);
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(name.size());
        if (RegEnumValueW(key.handle, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(name.data(), length);
    }
    return names;
}

void DeleteKeyTree(const std::wstring& path) {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, path.c_str());
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, path.c_str());
}

std::map<std::wstring, std::string> Snapshot(const std::wstring& path) {
    std::map<std::wstring, std::string> out;
    SnapshotInto(path, out);
    return out;
}

std::map<std::wstring, std::string> SnapshotSweptKeys(const std::vector<std::wstring>& furtherRoots) {
    std::map<std::wstring, std::string> out;
    for (const wchar_t* path : kSweepKeyPaths) SnapshotInto(path, out);
    for (const std::wstring& path : furtherRoots) SnapshotInto(path, out);
    return out;
}

testing::AssertionResult OnlyRemoved(const std::map<std::wstring, std::string>& before,
                                     const std::map<std::wstring, std::string>& after,
                                     const Removals& removals) {
    std::string faults;
    for (const std::wstring& key : removals.keys)
        if (!before.count(key)) faults += "\n  not there to remove: " + Narrow(key);
    for (const std::wstring& value : removals.values)
        if (!before.count(value)) faults += "\n  not there to remove: " + Narrow(value);
    const auto removed = [&removals](const std::wstring& entry) {
        for (const std::wstring& key : removals.keys)
            if (entry == key || entry.rfind(key + L"\\", 0) == 0 || entry.rfind(key + L"|", 0) == 0) return true;
        for (const std::wstring& value : removals.values)
            if (entry == value) return true;
        return false;
    };
    for (const auto& entry : before) {
        const auto found = after.find(entry.first);
        if (removed(entry.first)) {
            if (found != after.end()) faults += "\n  should be gone: " + Narrow(entry.first);
        } else if (found == after.end()) {
            faults += "\n  gone: " + Narrow(entry.first);
        } else if (found->second != entry.second) {
            faults += "\n  changed: " + Narrow(entry.first);
        }
    }
    for (const auto& entry : after)
        if (!before.count(entry.first)) faults += "\n  new: " + Narrow(entry.first);
    if (faults.empty()) return testing::AssertionSuccess();
    return testing::AssertionFailure() << "the registry differs from before less the removals:" << faults;
}

void ClearSweptKeys() {
    for (const wchar_t* path : kSweepKeyPaths) DeleteKeyTree(path);
}

std::string Line(const wchar_t* prefix, const std::wstring& path) {
    return Narrow(prefix + path);
}

void SweepRegistryTest::SetUp() {
    Clear();
    log_ = std::make_unique<LogCapture>();
}

void SweepRegistryTest::TearDown() {
    Clear();
}

void SweepRegistryTest::Clear() {
    ClearSweptKeys();
    BadGuidList.clear();
    UsedInstallGuid.Clear();
}

}  // namespace tavi_test
