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
    for (const wchar_t* path : kSweepKeyPaths) DeleteKeyTree(path);
    BadGuidList.clear();
    UsedInstallGuid.Clear();
}

}  // namespace tavi_test
