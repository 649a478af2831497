// Times the registry sweep on a large synthetic registry against a read-only pass over the
// same keys, and the Components stage with a bad-id list of 1 and of 1,000 ids.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "cleanup/ComponentSweep.h"
#include "cleanup/GuidState.h"
#include "cleanup/ProductSweep.h"

namespace {

const wchar_t kProducts[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Products";
const wchar_t kClasses[] = L"SOFTWARE\\Classes\\Installer\\Products";
const wchar_t kClassesUpgrade[] = L"SOFTWARE\\Classes\\Installer\\UpgradeCodes\\7E2A05C9B41D3F86A0C5E7291B8D4F30";
const wchar_t kInstallerUpgrade[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UpgradeCodes\\7E2A05C9B41D3F86A0C5E7291B8D4F30";
const wchar_t kComponents[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Components";
const wchar_t kFeatures[] = L"SOFTWARE\\Classes\\Installer\\Features";
const wchar_t kUninstall[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const wchar_t kUninstall32[] = L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const wchar_t* const kSweptKeys[] = {kProducts, kClasses, kClassesUpgrade, kInstallerUpgrade,
                                     kComponents, kFeatures, kUninstall, kUninstall32};

constexpr int kComponentCount = 50000;
constexpr int kUninstallCount = 2000;
constexpr int kProductCount = 500;
// Every this many components one value is named by the listed bad id.
constexpr int kBadEvery = 50;

// A packed-code-like name of 32 hexadecimal digits made from a tag and a number.
std::wstring PackedCode(unsigned tag, unsigned number) {
    wchar_t text[40];
    swprintf(text, 40, L"%08X%08X%08X%08X", tag, number, tag ^ 0x5A5A5A5Au, number * 2654435761u);
    return text;
}

HKEY Create(const std::wstring& path) {
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    return key;
}

void SetText(HKEY key, const wchar_t* name, const std::wstring& text) {
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void Populate() {
    for (const wchar_t* path : kSweptKeys) RegDeleteTreeW(HKEY_LOCAL_MACHINE, path);
    const std::wstring current = PackedCode(1, 0);
    for (int i = 0; i < kProductCount; ++i) {
        const std::wstring id = i == 0 ? current : PackedCode(2, i);
        const std::wstring name = i == 0 ? L"Vardo(R) Tavi" : L"Other Product " + std::to_wstring(i);
        HKEY properties = Create(std::wstring(kProducts) + L"\\" + id + L"\\InstallProperties");
        SetText(properties, L"DisplayName", name);
        SetText(properties, L"DisplayVersion", L"12.0.1.0");
        RegCloseKey(properties);
        HKEY product = Create(std::wstring(kClasses) + L"\\" + id);
        SetText(product, L"ProductName", name);
        RegCloseKey(product);
    }
    for (const wchar_t* upgrade : {kClassesUpgrade, kInstallerUpgrade}) {
        HKEY key = Create(upgrade);
        SetText(key, current.c_str(), L"");
        RegCloseKey(key);
    }
    const std::wstring bad = PackedCode(3, 0);
    for (int i = 0; i < kComponentCount; ++i) {
        HKEY component = Create(std::wstring(kComponents) + L"\\" + PackedCode(4, i));
        SetText(component, (i % kBadEvery == 0 ? bad : PackedCode(5, i)).c_str(), L"C:\\Program Files\\a.dll");
        SetText(component, PackedCode(6, i).c_str(), L"C:\\Program Files\\b.dll");
        SetText(component, PackedCode(7, i).c_str(), L"C:\\Program Files\\c.dll");
        RegCloseKey(component);
    }
    HKEY features = Create(kFeatures);
    RegCloseKey(features);
    for (const wchar_t* base : {kUninstall, kUninstall32}) {
        for (int i = 0; i < kUninstallCount / 2; ++i) {
            HKEY entry = Create(std::wstring(base) + L"\\{" + PackedCode(8, i) + L"}");
            SetText(entry, L"DisplayName", L"Other Program " + std::to_wstring(i));
            SetText(entry, L"DisplayVersion", L"1.0." + std::to_wstring(i));
            RegCloseKey(entry);
        }
    }
}

double Seconds(const LARGE_INTEGER& start) {
    LARGE_INTEGER now;
    LARGE_INTEGER frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Visits the subkeys of path as the sweep does, reading the named values of each subkey
// (or of its suffix key), or enumerating all its values when no name is given.
void ReadSubkeys(const wchar_t* path, const wchar_t* suffix, std::vector<const wchar_t*> values) {
    HKEY base = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &base) != ERROR_SUCCESS) return;
    DWORD count = 0;
    RegQueryInfoKeyW(base, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                     nullptr);
    wchar_t name[260];
    wchar_t data[260];
    for (DWORD index = count; index-- > 0;) {
        DWORD length = 260;
        if (RegEnumKeyExW(base, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        HKEY sub = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, (std::wstring(path) + L"\\" + name + suffix).c_str(), 0, KEY_READ,
                          &sub) != ERROR_SUCCESS)
            continue;
        if (values.empty()) {
            DWORD valueCount = 0;
            RegQueryInfoKeyW(sub, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &valueCount, nullptr,
                             nullptr, nullptr, nullptr);
            for (DWORD v = valueCount; v-- > 0;) {
                DWORD valueLength = 260;
                if (RegEnumValueW(sub, v, data, &valueLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                    break;
            }
        }
        for (const wchar_t* value : values) {
            DWORD size = sizeof(data);
            RegQueryValueExW(sub, value, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
        }
        RegCloseKey(sub);
    }
    RegCloseKey(base);
}

void ReadOnlyPass() {
    ReadSubkeys(kProducts, L"\\InstallProperties", {L"DisplayName", L"DisplayVersion"});
    ReadSubkeys(kClasses, L"", {L"ProductName"});
    ReadSubkeys(L"SOFTWARE\\Classes\\Installer\\UpgradeCodes", L"", {});
    ReadSubkeys(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UpgradeCodes", L"", {});
    ReadSubkeys(kComponents, L"", {});
    ReadSubkeys(kUninstall, L"", {L"DisplayName", L"DisplayVersion"});
    ReadSubkeys(kUninstall32, L"", {L"DisplayName", L"DisplayVersion"});
}

// Runs the eight stages in their order; stageTimes receives each stage's seconds.
void Sweep(double (&stageTimes)[8]) {
    const orb::String appVersion(L"12.0.1.0");
    LARGE_INTEGER start;
    int stage = 0;
    const auto timed = [&](auto run) {
        QueryPerformanceCounter(&start);
        run();
        stageTimes[stage++] = Seconds(start);
    };
    timed([&] { SweepUserDataProducts(appVersion); });
    timed([] { SweepClassesProducts(); });
    timed([] { SweepUpgradeCodes(kClassesUpgrade); });
    timed([] { SweepUpgradeCodes(kInstallerUpgrade); });
    timed([] { SweepComponents(); });
    timed([] { SweepFeatures(); });
    timed([&] { SweepUninstall(kUninstall, appVersion); });
    timed([&] { SweepUninstall(kUninstall32, appVersion); });
}

// The whole sweep with ids listed as bad beforehand: the first names component values,
// the others name nothing in the registry.
double TimedSweep(int ids) {
    BadGuidList.clear();
    UsedInstallGuid.Clear();
    AddBadGuid(PackedCode(3, 0).c_str());
    for (int i = 1; i < ids; ++i) AddBadGuid(PackedCode(9, i).c_str());
    double stageTimes[8];
    Sweep(stageTimes);
    double total = 0;
    for (const double seconds : stageTimes) total += seconds;
    std::printf("  sweep with %4d ids %7.3f s; stages 1-8:", ids, total);
    for (const double seconds : stageTimes) std::printf(" %.3f", seconds);
    std::printf("\n");
    return total;
}

// The least of the times: other work on the machine only ever adds to a time.
double Least(const std::vector<double>& values) { return *std::min_element(values.begin(), values.end()); }

}  // namespace

// Rounds of: a fresh registry, the read-only pass, the sweep; the list lengths alternate in
// order from round to round, since the machine warms up as the run goes on.
int wmain() {
    constexpr int kRounds = 5;
    std::vector<double> readOnly;
    std::vector<double> sweeps[2];
    const int lengths[2] = {1, 1000};
    std::printf("components %d x 3 values, uninstall entries %d, product registrations %d\n", kComponentCount,
                kUninstallCount, kProductCount);
    for (int round = 0; round < kRounds; ++round) {
        for (int turn = 0; turn < 2; ++turn) {
            const int which = (round + turn) % 2;
            Populate();
            LARGE_INTEGER start;
            QueryPerformanceCounter(&start);
            ReadOnlyPass();
            readOnly.push_back(Seconds(start));
            std::printf("  read-only pass      %7.3f s\n", readOnly.back());
            sweeps[which].push_back(TimedSweep(lengths[which]));
        }
    }
    const double pass = Least(readOnly);
    const double one = Least(sweeps[0]);
    const double thousand = Least(sweeps[1]);
    std::printf("least of %d rounds:\n", kRounds);
    std::printf("read-only pass      %7.3f s\n", pass);
    std::printf("sweep,     1 id     %7.3f s   ratio to read-only %.2f\n", one, one / pass);
    std::printf("sweep, 1,000 ids    %7.3f s   ratio to read-only %.2f   ratio to 1 id %.2f\n", thousand,
                thousand / pass, thousand / one);
    return 0;
}
