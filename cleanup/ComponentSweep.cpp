#include "cleanup/ComponentSweep.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "cleanup/GuidState.h"
#include "cleanup/ProductSweep.h"
#include "cleanup/log/CLOGFile.h"
#include "orb/RegKey.h"

namespace {

const wchar_t kComponentsPath[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Components";
const wchar_t kFeaturesPath[] = L"SOFTWARE\\Classes\\Installer\\Features";

// The BadGuidList entries by text, so that the entries a value name contains are found by
// looking up the name's substrings of each listed length: the cost per name does not grow
// with the number of entries. Views into the list, which must not change meanwhile.
class ListedIdIndex {
public:
    explicit ListedIdIndex(const std::vector<orb::String>& list) {
        for (std::size_t i = 0; i < list.size(); ++i) {
            const std::size_t length = static_cast<std::size_t>(list[i].Length());
            if (length == 0) continue;
            byText_.emplace(std::wstring_view(list[i].Text(), length), i);
            if (std::find(lengths_.begin(), lengths_.end(), length) == lengths_.end()) lengths_.push_back(length);
        }
    }

    // Fills found with the list indexes of the entries that name contains (exact case),
    // ascending and each once.
    void FindContained(const wchar_t* name, std::vector<std::size_t>& found) const {
        found.clear();
        const std::wstring_view text(name);
        for (const std::size_t length : lengths_) {
            for (std::size_t start = 0; start + length <= text.size(); ++start) {
                const auto range = byText_.equal_range(text.substr(start, length));
                for (auto entry = range.first; entry != range.second; ++entry) found.push_back(entry->second);
            }
        }
        std::sort(found.begin(), found.end());
        found.erase(std::unique(found.begin(), found.end()), found.end());
    }

private:
    std::vector<std::size_t> lengths_;
    std::unordered_multimap<std::wstring_view, std::size_t> byText_;
};

}  // namespace

UninstallVerdict JudgeUninstallEntry(const orb::String& appVersion, const wchar_t* keyName,
                                     const orb::String& displayName, const orb::String& displayVersion) {
    if (!IsProductName(displayName)) return UninstallVerdict::NotProduct;
    if (appVersion.Length() == 0) return UninstallVerdict::Bad;
    if (IsCurrentVersion(appVersion, displayVersion)) return UninstallVerdict::Used;
    if (ProductGuid.Find(keyName, 0) >= 0) return UninstallVerdict::Used;
    return UninstallVerdict::Bad;
}

void SweepComponents() {
    orb::RegKey base;
    if (!OpenSweepKey(kComponentsPath, base)) return;
    const ListedIdIndex index(BadGuidList);
    std::vector<std::size_t> contained;
    ForEachSubkeyDownward(base.Handle(), [&](const wchar_t* componentName) {
        orb::String path;
        path.Format(L"%s\\%s", kComponentsPath, componentName);
        orb::RegKey component;
        if (!OpenSweepSubkey(path.Text(), component)) return;
        ForEachValueDownward(component.Handle(), [&](const wchar_t* valueName) {
            index.FindContained(valueName, contained);
            // One line and one deletion call per contained entry. The calls after a
            // successful one find the value gone, which is no failure to report.
            bool deleted = false;
            for (std::size_t unused = 0; unused < contained.size(); ++unused) {
                CLOGFile::Instance().Log(L"Bad TaviRegKey:(D) %s\\%s", path.Text(), valueName);
                const LSTATUS result = RegDeleteValueW(component.Handle(), valueName);
                if (!(deleted && result == ERROR_FILE_NOT_FOUND))
                    ReportDeleteResult(result, path.Text(), valueName);
                deleted = deleted || result == ERROR_SUCCESS;
            }
        });
        component.Close();
    });
    base.Close();
}

void SweepFeatures() {
    orb::RegKey base;
    if (!OpenSweepKey(kFeaturesPath, base)) return;
    for (const orb::String& id : BadGuidList) {
        // RegDeleteTreeW with no subkey name would empty the whole Features key.
        if (id.Length() == 0) continue;
        CLOGFile::Instance().Log(L"Bad TaviInstallGUID:(D) %s\\%s", kFeaturesPath, id.Text());
        // The stage does not look for the key first, so a missing one is no failure.
        const LSTATUS result = RegDeleteTreeW(base.Handle(), id.Text());
        if (result != ERROR_FILE_NOT_FOUND) ReportDeleteResult(result, kFeaturesPath, id.Text());
    }
    base.Close();
}

void SweepUninstall(const wchar_t* keyPath, const orb::String& appVersion) {
    orb::RegKey base;
    if (!OpenSweepKey(keyPath, base)) return;
    ForEachSubkeyDownward(base.Handle(), [&](const wchar_t* name) {
        orb::String path;
        path.Format(L"%s\\%s", keyPath, name);
        orb::RegKey entry;
        if (!OpenSweepSubkey(path.Text(), entry)) return;
        orb::String displayName;
        orb::String displayVersion;
        entry.ReadTextValue(L"DisplayName", displayName);
        entry.ReadTextValue(L"DisplayVersion", displayVersion);
        entry.Close();

        switch (JudgeUninstallEntry(appVersion, name, displayName, displayVersion)) {
        case UninstallVerdict::NotProduct:
            break;
        case UninstallVerdict::Used:
            CLOGFile::Instance().Log(L"Used TaviUninstallGUID: %s", path.Text());
            break;
        case UninstallVerdict::Bad:
            CLOGFile::Instance().Log(L"Bad TaviUninstallGUID:(D) %s", path.Text());
            ReportDeleteResult(RegDeleteTreeW(base.Handle(), name), keyPath, name);
            break;
        }
    });
    base.Close();
}
