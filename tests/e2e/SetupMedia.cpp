#include "tests/e2e/SetupMedia.h"

#include <msi.h>

#include <gtest/gtest.h>

namespace tavi_test {

const wchar_t kSetupMedia[] = L"C:\\TaviMedia";
const wchar_t kSetupElsewhere[] = L"C:\\users\\Public";
const wchar_t kInstalledApp[] = L"C:\\Program Files\\Vardo Corporation\\Vardo Tavi\\TaviApp.exe";

bool PathExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring InstalledVersion(const wchar_t* productCode) {
    wchar_t version[64] = L"";
    DWORD size = ARRAYSIZE(version);
    if (MsiGetProductInfoW(productCode, INSTALLPROPERTY_VERSIONSTRING, version, &size) != ERROR_SUCCESS)
        return L"<not registered>";
    return version;
}

std::wstring BuiltPackage(const wchar_t* name) {
    return std::wstring(TAVI_WIN_PACKAGES) + L"\\" + name;
}

void LayOutMedia(const std::wstring& folder, const std::wstring& package) {
    RemoveTree(folder);
    ASSERT_TRUE(CreateFolders(folder)) << Narrow(folder);
    for (const wchar_t* name : {L"TaviBootLoader.exe", L"Quill.dll", L"Scourwell32.exe", L"Scourwell64.exe"})
        ASSERT_TRUE(CopyOneFile(std::wstring(MediaX64Dir()) + L"\\" + name, folder + L"\\" + name)) << Narrow(name);
    const std::wstring productPackage = package.empty() ? BuiltPackage(L"Vardo(R) Tavi.msi") : package;
    ASSERT_TRUE(CopyOneFile(productPackage, folder + L"\\Vardo(R) Tavi.msi")) << Narrow(productPackage);
    for (const wchar_t* name : {L"vcredist_x86.exe", L"vcredist_x64.exe"})
        ASSERT_TRUE(CopyOneFile(BuiltPackage(name), folder + L"\\" + name)) << Narrow(name);
}

ProcessResult RunSetupFrom(const std::wstring& folder, const std::wstring& arguments) {
    const std::wstring program = folder + L"\\TaviBootLoader.exe";
    return RunProcess(program.c_str(), program + L" " + arguments, kSetupElsewhere);
}

ProcessResult InstallBuiltPackage(const wchar_t* name) {
    const std::wstring installer = SystemDir() + L"\\msiexec.exe";
    return RunProcess(installer.c_str(), L"msiexec /i \"" + BuiltPackage(name) + L"\" /qn", kSetupElsewhere);
}

}  // namespace tavi_test
