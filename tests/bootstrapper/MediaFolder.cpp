#include "tests/bootstrapper/MediaFolder.h"

#include "tests/support/TestSupport.h"

namespace tavi_test {

bool PrepareMedia(const std::wstring& folder, const std::wstring& bootstrapper, const std::wstring& logService) {
    const std::wstring media = MediaX64Dir();
    RemoveTree(folder);
    return CreateFolders(folder) &&
           CopyOneFile(bootstrapper.empty() ? media + L"\\TaviBootLoader.exe" : bootstrapper,
                       folder + L"\\TaviBootLoader.exe") &&
           CopyOneFile(logService.empty() ? media + L"\\Quill.dll" : logService, folder + L"\\Quill.dll") &&
           WriteFileBytes(folder + L"\\Vardo(R) Tavi.msi", "not a package");
}

std::wstring SystemInstaller() {
    return SystemDir() + L"\\msiexec.exe";
}

std::wstring ThrowingBootstrapper() {
    return std::wstring(TestBinDir()) + L"\\TaviBootLoaderThrowing.exe";
}

}  // namespace tavi_test
